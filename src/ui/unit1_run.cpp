// The run side of the main window: Start with its checks, Stop/Resume, the locks that keep the
// data and the settings the run reads from changing under it, and ending a run before the
// window goes.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/memory_room.h"
#include "problem/population_settings.h"
#include "problem/problem.h"
#include "problem/textconv.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "run/prediction.h"
#include "run/run_plan.h"
#include "ui/data_hint.h"
#include "ui/fitness_baselines.h"
#include "ui/forecast_view.h"
#include "ui/unit1.h"
#include "ui/unit4.h"
#include "ui/unit5.h"
#include "ui/unit6.h"

namespace vobrix::ui {

namespace {

constexpr const char* kMemoryMessage = "Memory Allocation Error!!!!";

std::string Text(const QLineEdit* edit) {
  return edit->text().toStdString();
}

bool ConvertsAsInt(const std::string& text) {
  try {
    TextToInt(text);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

// One field a conversion reads, in the order the conversion reads them.
struct Field {
  const char* name;
  std::string text;
  bool integer;
};

// The field whose text stops a conversion: the first one, in reading order, that does not
// convert. Looking for the failing text alone could name an earlier field with the same text.
const Field* FirstUnconvertible(const std::vector<Field>& fields) {
  for (const Field& field : fields) {
    if (field.integer ? !ConvertsAsInt(field.text) : !IsNumber(field.text)) return &field;
  }
  return nullptr;
}

QString NotANumber(const Field& field, const std::string& where) {
  return QString::fromStdString("\"" + std::string(field.name) + "\"" + where + " must be " +
                                (field.integer ? "a whole number" : "a number") + ", not \"" +
                                field.text + "\".");
}

}  // namespace

bool TForm1::AllCellsNumeric(const toolkit::Grid& grid) {
  for (int col = 0; col < grid.ColCount(); ++col) {
    for (int row = 0; row < grid.RowCount(); ++row) {
      if (!IsNumber(grid.Cell(col, row))) return false;
    }
  }
  return true;
}

RunDisplay TForm1::RunControls() {
  RunDisplay d;
  d.StringGrid1 = StringGrid1;
  d.StringGrid3 = StringGrid3;
  d.StringGrid4 = StringGrid4;
  d.StringGrid5 = StringGrid5;
  d.Chart2 = Chart2;
  d.Form5Chart2 = form5_->Chart2;
  d.Chart3 = Chart3;
  d.Form6Chart3 = form6_->Chart3;
  d.Chart4 = Chart4;
  d.Form4Chart1 = form4_->Chart1;
  d.statusLabels = {Label31, Label48, Label82, Label83};
  d.Memo1 = Memo1;
  d.ProgressBar1 = ProgressBar1;
  d.BitBtn1 = BitBtn1;
  d.BitBtn2 = BitBtn2;
  d.application = &applicationOps_;
  return d;
}

void TForm1::ShowPopulationPanel(int index) {
  PageControl1->setCurrentWidget(TabSheet3);
  PageControl2->setCurrentIndex(index);
}

void TForm1::BitBtn2Click() {
  // Never enter the run twice: Ctrl+S reaches here even while the button is disabled.
  if (running_ || !BitBtn2->isEnabled()) return;
  if (hooks.start) {
    RunHook(hooks.start);
    return;
  }
  Guarded(this, [this] { StartRun(); });
  // Outside the guard: leaving ends the process.
  const LeaveAfterRun leave = leaveAfterRun_;
  leaveAfterRun_ = LeaveAfterRun::Stay;
  if (leave == LeaveAfterRun::Close) close();
  if (leave == LeaveAfterRun::Exit) Exit1Click();
}

void TForm1::BitBtn1Click() {
  if (hooks.stop) {
    RunHook(hooks.stop);
    return;
  }
  if (session_) vobrix::BitBtn1Click(*session_, RunControls());
}

bool TForm1::EndRunBeforeLeaving(bool exit) {
  if (!session_) return false;
  // The run sees the request after the step under way, or at once while paused; Start then
  // closes or exits when RunEvolution has returned.
  session_->cancelRequested = true;
  leaveAfterRun_ = exit ? LeaveAfterRun::Exit : LeaveAfterRun::Close;
  return true;
}

PanelTexts TForm1::PanelTextsOf(int index) {
  const PopulationPanel& p = Panel(index);
  PanelTexts texts;
  texts.populationSize = Text(p.populationSize);
  texts.generations = Text(p.generation);
  texts.selectionIndex = p.selectionMethod->ItemIndex();
  texts.tournamentSize = Text(p.tournamentSize);
  texts.crossover = Text(p.crossover);
  texts.mutation = Text(p.mutation);
  texts.onePoint = Text(p.onePointMutation);
  texts.eliteChecked = p.eliteStrategy->isChecked();
  texts.elite = Text(p.eliteShare);
  texts.breakChecked = p.breakPoint->isChecked();
  texts.breakEvery = Text(p.breakEvery);
  texts.maxLength = Text(p.maxLength);
  texts.maxInitialDepth = Text(p.maxInitialDepth);
  texts.functionRatio = Text(p.function);
  texts.variableRatio = Text(p.variable);
  return texts;
}

std::optional<PopulationParams> TForm1::ReadPanel(int index) {
  const PanelTexts texts = PanelTextsOf(index);
  QString message;
  try {
    PopulationParams params = ReadPopulationParams(texts);
    ValidatePopulationParams(params, index + 1);
    std::array<bool, kFunctionTableSize> ticked{};
    for (int i = 0; i < kFunctionTableSize; ++i) ticked[i] = FunctionTicked(i);
    ValidateGrowth(params, ticked, index + 1);
    return params;
  } catch (const ConversionError& error) {
    std::vector<Field> fields{{"Population Size", texts.populationSize, true},
                              {"Generation", texts.generations, true}};
    if (texts.selectionIndex == kTournament) {
      fields.push_back({"Tournament Size", texts.tournamentSize, true});
    }
    fields.push_back({"Crossover", texts.crossover, false});
    fields.push_back({"Mutation", texts.mutation, false});
    fields.push_back({"One-point Mutation", texts.onePoint, false});
    if (texts.eliteChecked) fields.push_back({"Elite Strategy", texts.elite, false});
    if (texts.breakChecked) fields.push_back({"Break Point", texts.breakEvery, true});
    fields.push_back({"Maximum Length", texts.maxLength, true});
    fields.push_back({"Maximum Initial Depth", texts.maxInitialDepth, true});
    fields.push_back({"Function", texts.functionRatio, false});
    fields.push_back({"Variable", texts.variableRatio, false});
    const Field* field = FirstUnconvertible(fields);
    const std::string where = " of population " + std::to_string(index + 1);
    message = field ? NotANumber(*field, where) : ConversionMessage(error);
  } catch (const SettingsError& error) {
    message = QString::fromUtf8(error.what());
  }
  seam().MessageBox(this, message);
  ShowPopulationPanel(index);
  return std::nullopt;
}

ProblemSettings TForm1::ProblemSettingsOfWindow() const {
  ProblemSettings settings;
  for (int i = 0; i < kFunctionTableSize; ++i) settings.ticked[i] = FunctionTicked(i);
  settings.windowSizeText = Text(Edit16);
  settings.constantCountText = Text(Edit12);
  settings.lowerText = Text(Edit10);
  settings.upperText = Text(Edit11);
  return settings;
}

std::optional<ProblemShape> TForm1::CheckProblem(const ProblemSettings& settings) {
  QString message;
  QWidget* page = TabSheet1;
  try {
    return ReadProblemShape(settings, static_cast<std::size_t>(StringGrid1->RowCount()));
  } catch (const ConversionError& error) {
    // The order MakeProblem reads them in.
    const std::vector<Field> fields{{"Number of constant", settings.constantCountText, true},
                                    {"Window Size", settings.windowSizeText, true},
                                    {"Range", settings.lowerText, false},
                                    {"Range", settings.upperText, false}};
    const Field* field = FirstUnconvertible(fields);
    message = field ? NotANumber(*field, "") : ConversionMessage(error);
    if (field && field->text == settings.windowSizeText && field->integer) page = TabSheet4;
  } catch (const ProblemError& error) {
    message = QString::fromUtf8(error.what());
    // "Window Size" lives on the Results page, beside the run it shapes.
    if (message.contains(QStringLiteral("Window Size"))) page = TabSheet4;
  }
  seam().MessageBox(this, message);
  PageControl1->setCurrentWidget(page);
  return std::nullopt;
}

std::optional<RunPlan> TForm1::PlanRun(const ProblemSettings& settings) {
  const std::optional<ProblemShape> shape = CheckProblem(settings);
  if (!shape) return std::nullopt;
  RunPlan plan{*shape, {}, 0, StringGrid3->RowCount()};
  for (int i = 0; i <= lastPopIndex; ++i) {
    std::optional<PopulationParams> read = ReadPanel(i);
    if (!read) return std::nullopt;
    plan.populations.push_back(*read);
  }
  try {
    ValidateGenerationTotal(plan.populations);
  } catch (const SettingsError& error) {
    seam().MessageBox(this, QString::fromUtf8(error.what()));
    ShowPopulationPanel(0);
    return std::nullopt;
  }
  // The whole run is weighed before any of it is made.
  if (!RunFitsInMemory(plan, memoryRoom ? memoryRoom() : MemoryRoom())) {
    seam().MessageBox(this, QString::fromLatin1(kMemoryMessage));
    ShowPopulationPanel(static_cast<int>(LargestPopulation(plan)));
    return std::nullopt;
  }
  return plan;
}

bool TForm1::TrainingDataReady() {
  if (AllCellsEmpty(*StringGrid1)) {
    seam().MessageBox(this, QString::fromLatin1(kNoTrainingData));
    PageControl1->setCurrentWidget(TabSheet1);
    return false;
  }
  if (!AllCellsNumeric(*StringGrid1)) {
    seam().MessageBox(this, InvalidTrainingMessage(*StringGrid1));
    PageControl1->setCurrentWidget(TabSheet1);
    return false;
  }
  return true;
}

// Each group is judged by the remainder its label shows, not by the sum of the edits.
bool TForm1::RemaindersValid(int count) {
  for (int i = 0; i < count; ++i) {
    PopulationPanel& p = Panel(i);
    if (TextToFloat(p.reproduction->Caption()) < 0.0) {
      p.crossover->setText(QStringLiteral("0.70"));
      p.mutation->setText(QStringLiteral("0.20"));
      p.onePointMutation->setText(QStringLiteral("0.00"));
      p.reproduction->SetCaption("0.10");
      seam().MessageBox(this, QStringLiteral("The sum of operation rate must be 1.0"));
      ShowPopulationPanel(i);
      return false;
    }
  }
  for (int i = 0; i < count; ++i) {
    PopulationPanel& p = Panel(i);
    if (TextToFloat(p.constant->Caption()) < 0.0) {
      p.function->setText(QStringLiteral("0.50"));
      p.variable->setText(QStringLiteral("0.20"));
      p.constant->SetCaption("0.30");
      seam().MessageBox(this, QStringLiteral("The sum of initial node ratio must be 1.0"));
      ShowPopulationPanel(i);
      return false;
    }
  }
  return true;
}

bool TForm1::FillSession(RunSession& session, const ProblemSettings& settings, const RunPlan& plan,
                         int count) {
  session.lastPopIndex = lastPopIndex;
  if (seedSource) session.seedSource = seedSource;
  try {
    session.problem = MakeProblem(settings, GridRows(*StringGrid1), functions_).problem;
    for (int i = 0; i < count; ++i) {
      const auto slot = static_cast<std::size_t>(i);
      session.populations[slot] = std::make_unique<Population>(plan.populations[slot]);
    }
  } catch (const std::bad_alloc&) {
    seam().MessageBox(this, QString::fromLatin1(kMemoryMessage));
    return false;
  }
  return true;
}

void TForm1::StartRun() {
  Memo1->SetText("");
  if (!TrainingDataReady()) return;
  const int count = lastPopIndex + 1;
  if (!RemaindersValid(count)) return;

  // Everything else the run will read is checked here, before anything is allocated, so that
  // a typo is reported and mended without losing the data.
  if (const auto fault = CheckValidationData(*StringGrid1, *StringGrid3)) {
    seam().MessageBox(this, QString::fromStdString(fault->message));
    PageControl1->setCurrentWidget(TabSheet1);
    return;
  }
  const ProblemSettings settings = ProblemSettingsOfWindow();
  const std::optional<RunPlan> plan = PlanRun(settings);
  if (!plan) return;
  if (plan->problem.functionForced) {
    PageControl1->setCurrentWidget(TabSheet1);
    CheckListBox1->item(kAdd)->setCheckState(Qt::Checked);
    seam().MessageBox(this, QStringLiteral("You must use 1 function at least."));
  }

  RunSession session;
  if (!FillSession(session, settings, *plan, count)) return;
  PageControl1->setCurrentWidget(TabSheet4);
  // A page-leave check that refused has told the user why; the run does not start.
  if (PageControl1->currentWidget() != TabSheet4) return;
  RunLocked(session);
}

void TForm1::RunLocked(RunSession& session) {
  // The grids, "Window Size" and the population count are read again during the run, so none
  // of them may change until it ends.
  struct Lock {
    TForm1& form;
    explicit Lock(TForm1& f, RunSession& session) : form(f) {
      form.session_ = &session;
      form.SetRunning(true);
      form.SetDataControlsEnabled(false);
      SetEditEnabled(form.Edit16, false);
      form.UpDown1->setEnabled(false);
    }
    ~Lock() {
      form.session_ = nullptr;
      form.SetRunning(false);
      form.SetDataControlsEnabled(true);
      SetEditEnabled(form.Edit16, true);
      form.UpDown1->setEnabled(true);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
  };
  const std::vector<double> series = GridSeries(*StringGrid1, *StringGrid3);
  RunResult result;
  {
    const Lock lock(*this, session);
    FitnessStrip->SetBaselines(ValidationBaselines(series, std::size_t(StringGrid1->RowCount())));
    FitnessStrip->Follow(session);
    Forecast->ClearForecast();
    Forecast->Follow(session);
    if (runStarting) runStarting(session);
    result = RunEvolution(session, RunControls());
    if (result.outcome == RunOutcome::Finished) Forecast->ShowRunForecast(series);
  }
  if (runEnded) runEnded(session, result);
}

}  // namespace vobrix::ui
