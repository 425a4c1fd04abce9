// The main window: three pages (problem, populations, results), the menu, and the binding of
// every control to its handler. Start, Stop and the data buttons reach the run and data code
// through the hooks; the panels' own rules live here.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "engine/functions.h"
#include "ui/qt_toolkit.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QListWidget;
class QMenu;
class QTabWidget;
class QVBoxLayout;

namespace vobrix {
struct PopulationParams;
struct ProblemSettings;
struct ProblemShape;
struct PanelTexts;
struct RunPlan;
struct RunDisplay;
struct RunResult;
struct RunSession;
}  // namespace vobrix

namespace vobrix::ui {

class ResultsMenu;
class TAboutBox;
class FitnessBaselines;
class ForecastView;
class TForm4;
class TForm5;
class TForm6;

// The program's web page, opened from the Help menu.
inline constexpr const char* kWebPage = "https://vobrix.example/regression";

// The controls of one population's parameter panel, by role.
struct PopulationPanel {
  QWidget* tabSheet = nullptr;
  QFrame* shape = nullptr;
  QLineEdit* populationSize = nullptr;
  QLineEdit* generation = nullptr;
  RadioGroup* selectionMethod = nullptr;  // Proportional, Tournament, Random
  QLineEdit* tournamentSize = nullptr;
  QCheckBox* eliteStrategy = nullptr;
  QLineEdit* eliteShare = nullptr;  // percent
  QLineEdit* maxLength = nullptr;
  QLineEdit* maxInitialDepth = nullptr;
  QLineEdit* crossover = nullptr;
  QLineEdit* mutation = nullptr;
  QLineEdit* onePointMutation = nullptr;
  QtLabel* reproduction = nullptr;  // remainder of the operation rates
  QLineEdit* function = nullptr;
  QLineEdit* variable = nullptr;
  QtLabel* constant = nullptr;  // remainder of the node ratios
  QCheckBox* breakPoint = nullptr;
  QLineEdit* breakEvery = nullptr;
  QLabel* breakLabel = nullptr;
};

// The file-open dialog of the data loaders.
struct OpenDialog {
  QString initialDir;  // empty: wherever the platform starts
};

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // Builds the window, runs FormCreate (settings, default functions, splash), builds the
  // FunctionTable and creates the hidden secondary windows.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // Replacements of the window's own handlers, for tests. A hook that is set runs instead.
  struct Hooks {
    std::function<void()> start;  // BitBtn2Click, Ctrl+S: instead of starting a run
    std::function<void()> stop;   // BitBtn1Click: instead of Stop/Resume
    std::function<void()> close;  // before FormClose stores the setting
  };
  Hooks hooks;

  // Told of every run Start makes: with the session before its first step, and with the
  // session and the outcome after its last (the Results menu keeps what the run found).
  std::function<void(RunSession&)> runStarting;
  std::function<void(RunSession&, const RunResult&)> runEnded;
  ResultsMenu* Results() const { return resultsMenu_.get(); }
  // The texts and states of population panel `index`, and of the problem settings.
  PanelTexts PanelTextsOf(int index);
  ProblemSettings ProblemSettingsOfWindow() const;

  // Set by the run code for the length of a run: Start and the population count refuse.
  void SetRunning(bool running);
  bool Running() const { return running_; }
  // The seed of each population's preparation; empty: the calendar time. Tests fix it.
  std::function<std::uint32_t()> seedSource;
  // The memory a run may take; empty: MemoryRoom(), what this process may still take. Tests
  // fix it.
  std::function<std::optional<std::uint64_t>()> memoryRoom;
  // The run in progress (paused or not), or nothing.
  RunSession* Session() const { return session_; }
  // True when every cell of the grid converts to a number (an empty cell does not).
  static bool AllCellsNumeric(const toolkit::Grid& grid);
  // True when no cell of the grid holds any text.
  static bool AllCellsEmpty(const toolkit::Grid& grid);

  // Disables (false) or re-enables (true) every control that changes the data grids: the
  // Load, Clear, Normalization and Reset buttons, the training-data menu entry and editing of
  // the training grid. Re-enabling gives the buttons back the states of the normalization
  // mode in effect: while normalized, Load and Clear stay disabled and Reset enabled.
  void SetDataControlsEnabled(bool enabled);
  bool DataControlsEnabled() const { return dataControlsEnabled_; }
  // True between Normalization and Reset.
  bool Normalized() const { return normalized_; }

  // Number of configured populations minus one, 0 to 3; written only by ComboBox1Change.
  int lastPopIndex = 0;

  QtApplicationOps& ApplicationOps() { return applicationOps_; }
  const FunctionTable& Functions() const { return functions_; }
  bool FunctionTicked(int index) const;
  int ActivePanel() const;
  PopulationPanel& Panel(int index) { return panels_.at(static_cast<std::size_t>(index)); }

  TForm5* Form5() const { return form5_.get(); }
  TForm6* Form6() const { return form6_.get(); }
  TForm4* Form4() const { return form4_.get(); }
  TAboutBox* AboutBox() const { return aboutBox_.get(); }

  // Shows OpenDialog1; a chosen file's folder becomes the working directory and the place
  // where the next dialog starts.
  std::optional<QString> ExecuteOpenDialog();

  // Fills `grid` from a data file chosen in OpenDialog1. All or nothing: a file that cannot
  // be opened or read leaves the grid exactly as it was and says why.
  void LoadDataFile(QtGrid* grid);

  // Handlers, named after their control and event.
  void FormCreate();
  void BitBtn2Click();
  void BitBtn1Click();
  void BitBtn3Click();
  void BitBtn4Click();
  void Button1Click();
  void Button4Click();
  void Button5Click();
  void Button2Click();
  void Button3Click();
  void Exit1Click();
  void About1Click();
  void VobrixWebSite1Click();
  void Chart2DblClick();
  void Chart3DblClick();
  void Chart4DblClick();
  void Edit4Change();
  void Edit5Change();
  void Edit6Change();
  void Edit13Change();
  void Edit14Change();
  void RadioGroup1Click();
  void CheckBox1Click();
  void CheckBox2Click();
  void ComboBox1Change();
  // Page-leave checks; true when the page must stay shown.
  bool TabSheet3Hide();
  bool TabSheet1Hide();

  // ---- Controls ----
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet3;
  QWidget* TabSheet4;

  // "Problem Configration"
  QGroupBox* GroupBox6;
  QLabel* Label20;
  QLabel* Label26;
  QtGrid* StringGrid1;
  QPushButton* BitBtn3;
  QPushButton* Button1;
  QGroupBox* GroupBox21;
  QtGrid* StringGrid3;
  QPushButton* Button4;
  QPushButton* Button5;
  QGroupBox* FunctionsGrouoBox;
  QListWidget* CheckListBox1;
  QGroupBox* GroupBox3;
  QLabel* Label13;
  QLineEdit* Edit10;
  QLabel* Label12;
  QLineEdit* Edit11;
  QLabel* Label19;
  QLineEdit* Edit12;
  QPushButton* Button2;
  QPushButton* Button3;
  QtGrid* StringGrid2;
  QtGrid* StringGrid6;
  // Where to find data, shown on this page while both data grids are empty.
  QLabel* DataHint;
  OpenDialog OpenDialog1;

  // "Populations"
  QLabel* Label81;
  QComboBox* ComboBox1;
  QTabWidget* PageControl2;
  QWidget *TabSheet2, *TabSheet5, *TabSheet6, *TabSheet7;
  QFrame *Shape1, *Shape2, *Shape3, *Shape4;
  QLineEdit *Edit1, *Edit18, *Edit30, *Edit42;  // Population Size
  QLineEdit *Edit2, *Edit19, *Edit31, *Edit43;  // Generation
  RadioGroup *RadioGroup1, *RadioGroup2, *RadioGroup3, *RadioGroup4;
  QLineEdit *Edit3, *Edit20, *Edit32, *Edit44;                 // Tournament Size
  QCheckBox *CheckBox1, *CheckBox8, *CheckBox10, *CheckBox12;  // Elite Strategy
  QLineEdit *Edit7, *Edit21, *Edit33, *Edit45;                 // elite share
  QLineEdit *Edit8, *Edit22, *Edit34, *Edit46;                 // Maximum Length
  QLineEdit *Edit9, *Edit23, *Edit35, *Edit47;                 // Maximum Initial Depth
  QLineEdit *Edit4, *Edit24, *Edit36, *Edit48;                 // Crossover
  QLineEdit *Edit5, *Edit25, *Edit37, *Edit49;                 // Mutation
  QLineEdit *Edit6, *Edit26, *Edit38, *Edit50;                 // One-point Mutation
  QtLabel *Label6, *Label42, *Label59, *Label75;               // Reproduction
  QLineEdit *Edit13, *Edit27, *Edit39, *Edit51;                // Function
  QLineEdit *Edit14, *Edit28, *Edit40, *Edit52;                // Variable
  QtLabel *ConstLabel, *Label46, *Label63, *Label79;           // Constant
  QCheckBox *CheckBox2, *CheckBox9, *CheckBox11, *CheckBox13;  // Break Point
  QLineEdit *Edit15, *Edit29, *Edit41, *Edit53;                // break interval

  // "Results"
  FitnessBaselines* FitnessStrip;  // holds Chart2: log scale, baselines
  ForecastView* Forecast;          // "Forecast horizon"
  QtChart* Chart2;
  QtChart* Chart3;
  QtChart* Chart4;
  QFrame* Panel2;
  QLabel* Label28;
  QtMemo* Memo1;
  QLabel* Label18;
  QLineEdit* Edit16;
  UpDown* UpDown1;
  QGroupBox* GroupBox8;
  QtGrid* StringGrid4;
  QtGrid* StringGrid5;
  QtProgressBar* ProgressBar1;
  QtLabel *Label31, *Label48, *Label82, *Label83;
  BitBtn* BitBtn2;  // Start
  BitBtn* BitBtn1;  // Stop / Resume

  // Menu
  QMenu *FileMenu, *EditMenu, *GPRunMenu, *HelpMenu;
  QAction* LoadTrainingData2;
  QAction* Load1;
  QAction* Exit1;
  QAction* CutT1;
  QAction* CopyC1;
  QAction* StartGPrun1;
  QAction* About1;
  QAction* VobrixWebSite1;
  QAction* Forecast1;  // the forecast dialog (forecast_dialog.h)

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildProblemPage();
  QGroupBox* BuildTrainingBox(QWidget* page);
  QGroupBox* BuildValidationBox(QWidget* page);
  // Functions, constants, the normalization buttons and the data hint.
  QVBoxLayout* BuildProblemSettingsColumn(QWidget* page);
  QGroupBox* BuildFunctionsBox(QWidget* page);
  QGroupBox* BuildConstantsBox(QWidget* page);
  void ConnectProblemPage();
  QWidget* BuildPopulationsPage();
  QWidget* BuildPanel(int index);
  QWidget* BuildResultsPage();
  // Chart2 (in its baselines strip), Chart3 and Chart4, placed in `layout`.
  void BuildResultCharts(QWidget* page, QGridLayout* layout);
  QWidget* BuildResultsSideColumn(QWidget* page);
  QFrame* BuildBestIndividualPanel(QWidget* page);
  QHBoxLayout* BuildWindowSizeRow(QWidget* page);
  QGroupBox* BuildOutputBox(QWidget* page);
  void BuildRunStatus(QWidget* page, QVBoxLayout* side);
  void ConnectResultsPage();
  void BuildMenu();
  void NamePanelControls();
  void UpdateRateRemainder();
  void UpdateRatioRemainder();
  // The check of page `page` when it is about to be left; true when it must stay shown.
  bool PageMustStay(int page);
  void RestoreComboText();
  void RunHook(const std::function<void()>& hook);
  void ShowConversionError(const ConversionError& error);
  // The data handlers (unit1_data.cpp).
  void ApplyDataControlStates();
  void SetUpDataGrids();
  void UpdateDataHint();
  // The run (unit1_run.cpp).
  enum class LeaveAfterRun { Stay, Close, Exit };
  void StartRun();
  // Start's checks and its session, each false when it stopped the start and told the user why.
  bool TrainingDataReady();
  bool RemaindersValid(int count);
  bool FillSession(RunSession& session, const ProblemSettings& settings, const RunPlan& plan,
                   int count);
  // Runs a prepared session with the data controls locked, following it on the charts.
  void RunLocked(RunSession& session);
  std::optional<ProblemShape> CheckProblem(const ProblemSettings& settings);
  // The run the settings and the panels describe, checked and weighed as a whole; nothing
  // when a check failed and the user has been told.
  std::optional<RunPlan> PlanRun(const ProblemSettings& settings);
  std::optional<PopulationParams> ReadPanel(int index);
  void ShowPopulationPanel(int index);
  RunDisplay RunControls();
  // During a run: asks the run to end, and closes (or exits) once it has; true if it did.
  bool EndRunBeforeLeaving(bool exit);

  std::array<PopulationPanel, 4> panels_;
  FunctionTable functions_;
  QtApplicationOps applicationOps_;
  bool running_ = false;
  bool normalized_ = false;
  bool dataControlsEnabled_ = true;
  RunSession* session_ = nullptr;
  LeaveAfterRun leaveAfterRun_ = LeaveAfterRun::Stay;
  std::unique_ptr<TAboutBox> aboutBox_;
  std::unique_ptr<TForm5> form5_;
  std::unique_ptr<TForm6> form6_;
  std::unique_ptr<TForm4> form4_;
  std::unique_ptr<ResultsMenu> resultsMenu_;
};

}  // namespace vobrix::ui
