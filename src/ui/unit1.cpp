#include "ui/unit1.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <initializer_list>
#include <utility>

#include "problem/problem.h"
#include "problem/textconv.h"
#include "ui/about.h"
#include "ui/fitness_baselines.h"
#include "ui/forecast_dialog.h"
#include "ui/forecast_view.h"
#include "ui/grid_fit.h"
#include "ui/page_guard.h"
#include "ui/results_menu.h"
#include "ui/settings.h"
#include "ui/unit4.h"
#include "ui/unit5.h"
#include "ui/unit6.h"

namespace vobrix::ui {

namespace {

// Widths of the data grids' columns.
constexpr int kXColumn = 44;
constexpr int kYColumn = 90;

constexpr int kProblemPage = 0;
constexpr int kPopulationsPage = 1;

const char* const kFunctionItems[kFunctionTableSize] = {
    "+", "- ", "*", "/", "sin", "cos", "tan", "ln (abs)", "log10 (abs)", "sqrt (abs)"};

// Chart2: per population the training fitness (solid) and the validation error (dotted), left
// out of the legend, then the two empty keys that explain the line styles.
std::vector<SeriesStyle> FitnessSeries() {
  std::vector<SeriesStyle> series =
      PopulationPairs(QStringLiteral("Validation%1"), QStringLiteral("Training%1"), false, false);
  series.push_back({QStringLiteral("Traning"), kBlack, false, true});
  series.push_back({QStringLiteral("Validation"), kBlack, true, true});
  return series;
}

std::vector<SeriesStyle> LengthSeries() {
  std::vector<SeriesStyle> series =
      PopulationPairs(QStringLiteral("Best indv. %1"), QStringLiteral("Average %1"), false, false);
  series.push_back({QStringLiteral("Best Indv."), kBlack, false, true});
  series.push_back({QStringLiteral("Average"), kBlack, true, true});
  return series;
}

std::vector<SeriesStyle> MainPredictionSeries() {
  std::vector<SeriesStyle> series = PredictionSeries(false);
  series.push_back({QStringLiteral("Traning"), kBlack, false, true});
  series.push_back({QStringLiteral("Prediction"), kBlack, true, true});
  return series;
}

// Lays out a group box as rows of a caption and its control.
void CaptionedRows(QWidget* box, std::initializer_list<std::pair<const char*, QWidget*>> rows) {
  auto* grid = new QGridLayout(box);
  int row = 0;
  for (const auto& [caption, control] : rows) {
    grid->addWidget(new QLabel(QString::fromUtf8(caption), box), row, 0);
    grid->addWidget(control, row++, 1);
  }
}

QLineEdit* NewEdit(const char* text, QWidget* parent, int width = 56) {
  auto* edit = new QLineEdit(QString::fromLatin1(text), parent);
  edit->setFixedWidth(width);
  return edit;
}

// X holds short time indexes; Y gets the room, so that 6-digit values show whole.
void SizeDataColumns(QtGrid* grid) {
  grid->SetColWidth(0, kXColumn);
  grid->SetColWidth(1, kYColumn);
  grid->setFixedWidth(kXColumn + kYColumn + 22);
}

// Two buttons side by side.
QHBoxLayout* ButtonRow(QPushButton* first, QPushButton* second) {
  auto* row = new QHBoxLayout();
  row->addWidget(first);
  row->addWidget(second);
  return row;
}

// The square in the population's colour at the top of its panel.
QFrame* ColourSwatch(int index, QWidget* sheet) {
  auto* shape = new QFrame(sheet);
  shape->setFixedSize(24, 24);
  shape->setFrameStyle(QFrame::Box | QFrame::Plain);
  shape->setAutoFillBackground(true);
  QPalette colour = shape->palette();
  colour.setColor(QPalette::Window, PopulationColour(index, false));
  shape->setPalette(colour);
  return shape;
}

// A panel's left column: colour, size, generations, selection, elitism.
QGridLayout* SelectionColumn(PopulationPanel& p, int index, QWidget* sheet) {
  auto* left = new QGridLayout();
  p.shape = ColourSwatch(index, sheet);
  left->addWidget(p.shape, 0, 0);
  p.populationSize = NewEdit("1000", sheet);
  p.generation = NewEdit("50", sheet);
  left->addWidget(new QLabel(QStringLiteral("Population Size"), sheet), 1, 0);
  left->addWidget(p.populationSize, 1, 1);
  left->addWidget(new QLabel(QStringLiteral("Generation"), sheet), 2, 0);
  left->addWidget(p.generation, 2, 1);
  p.selectionMethod = new RadioGroup(
      QStringLiteral("Selection Method"),
      {QStringLiteral("Proportional"), QStringLiteral("Tournament"), QStringLiteral("Random")},
      sheet);
  p.selectionMethod->SetItemIndex(0);
  left->addWidget(p.selectionMethod, 3, 0, 1, 2);
  p.tournamentSize = NewEdit("6", sheet);
  SetEditEnabled(p.tournamentSize, false);
  left->addWidget(new QLabel(QStringLiteral("Tournament Size"), sheet), 4, 0);
  left->addWidget(p.tournamentSize, 4, 1);
  p.eliteStrategy = new QCheckBox(QStringLiteral("Elite Strategy"), sheet);
  p.eliteStrategy->setChecked(true);
  p.eliteShare = NewEdit("10", sheet, 40);
  auto* elite = new QHBoxLayout();
  elite->addWidget(p.eliteShare);
  elite->addWidget(new QLabel(QStringLiteral("%"), sheet));
  elite->addStretch(1);
  left->addWidget(p.eliteStrategy, 5, 0);
  left->addLayout(elite, 5, 1);
  left->setRowStretch(6, 1);
  return left;
}

QGroupBox* RestrictionsBox(PopulationPanel& p, QWidget* sheet) {
  auto* restrictions = new QGroupBox(QStringLiteral("Restrictions on Genes"), sheet);
  p.maxLength = NewEdit("100", restrictions);
  p.maxInitialDepth = NewEdit("5", restrictions);
  CaptionedRows(restrictions,
                {{"Maximum Length", p.maxLength}, {"Maximum Initial Depth", p.maxInitialDepth}});
  return restrictions;
}

QGroupBox* RatesBox(PopulationPanel& p, QWidget* sheet) {
  auto* rates = new QGroupBox(QStringLiteral("Rate of GP Operations"), sheet);
  p.crossover = NewEdit("0.70", rates);
  p.mutation = NewEdit("0.20", rates);
  p.onePointMutation = NewEdit("0.00", rates);
  p.reproduction = new QtLabel(QStringLiteral("0.1"), rates);
  CaptionedRows(rates, {{"Crossover", p.crossover},
                        {"Mutation", p.mutation},
                        {"One-point Mutation", p.onePointMutation},
                        {"Reproduction", p.reproduction}});
  return rates;
}

QGroupBox* RatiosBox(PopulationPanel& p, QWidget* sheet) {
  auto* ratios = new QGroupBox(QStringLiteral("Initial Ratio of the Nodes"), sheet);
  p.function = NewEdit("0.50", ratios);
  p.variable = NewEdit("0.20", ratios);
  for (QLineEdit* edit : {p.function, p.variable}) {
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
  }
  p.constant = new QtLabel(QStringLiteral("0.3"), ratios);
  CaptionedRows(ratios,
                {{"Function", p.function}, {"Variable", p.variable}, {"Constant", p.constant}});
  return ratios;
}

// A panel's middle column: restrictions and operation rates.
QVBoxLayout* OperationsColumn(PopulationPanel& p, QWidget* sheet) {
  auto* middle = new QVBoxLayout();
  middle->addWidget(RestrictionsBox(p, sheet));
  middle->addWidget(RatesBox(p, sheet));
  middle->addStretch(1);
  return middle;
}

// A panel's right column: initial node ratios and the (hidden) break point.
QVBoxLayout* NodesColumn(PopulationPanel& p, QWidget* sheet) {
  auto* right = new QVBoxLayout();
  right->addWidget(RatiosBox(p, sheet));
  p.breakPoint = new QCheckBox(QStringLiteral("Break Point"), sheet);
  p.breakEvery = NewEdit("5", sheet, 40);
  SetEditEnabled(p.breakEvery, false);
  p.breakLabel = new QLabel(QStringLiteral("Every            Generations"), sheet);
  right->addWidget(p.breakPoint);
  right->addWidget(p.breakLabel);
  right->addWidget(p.breakEvery);
  // The break point stays off: hidden for the life of the window.
  p.breakPoint->hide();
  p.breakEvery->hide();
  p.breakLabel->hide();
  right->addStretch(1);
  return right;
}

bool IsClipboardKey(const QKeyEvent* key) {
  if (key->modifiers() != Qt::ControlModifier) return false;
  return key->key() == Qt::Key_C || key->key() == Qt::Key_X || key->key() == Qt::Key_V;
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), functions_(BuildFunctionTable()), applicationOps_(this) {
  setWindowTitle(QStringLiteral("Vobrix for Time Series Prediction ver.1.0"));
  resize(623, 508);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  PageControl1 = new QTabWidget(this);
  PageControl1->tabBar()->setAttribute(Qt::WA_Hover);  // tabs highlighted under the mouse
  TabSheet1 = BuildProblemPage();
  TabSheet3 = BuildPopulationsPage();
  TabSheet4 = BuildResultsPage();
  PageControl1->addTab(TabSheet1, QStringLiteral("Problem Configration"));
  PageControl1->addTab(TabSheet3, QStringLiteral("Populations"));
  PageControl1->addTab(TabSheet4, QStringLiteral("Results"));
  PageControl1->setCurrentIndex(kProblemPage);
  setCentralWidget(PageControl1);
  new PageLeaveGuard(PageControl1, [this](int from) { return PageMustStay(from); });
  BuildMenu();

  // Ctrl+C, Ctrl+X and Ctrl+V belong to the menu: no edit box or grid of this window sees them.
  qApp->installEventFilter(this);

  aboutBox_ = std::make_unique<TAboutBox>();
  aboutBox_->SetMainWindow(this);
  FormCreate();
  vobrix::functionTable = &functions_;
  form5_ = std::make_unique<TForm5>();
  form6_ = std::make_unique<TForm6>();
  form4_ = std::make_unique<TForm4>();
  resultsMenu_ = std::make_unique<ResultsMenu>(*this);
  FitnessStrip->AddChart(form5_->Chart2);
  Forecast->AddChart(form4_->Chart1);
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
  if (vobrix::functionTable == &functions_) vobrix::functionTable = nullptr;
}

// ---- Layout --------------------------------------------------------------------------------

QWidget* TForm1::BuildProblemPage() {
  auto* page = new QWidget();
  auto* layout = new QHBoxLayout(page);
  layout->addWidget(BuildTrainingBox(page));
  layout->addWidget(BuildValidationBox(page));
  layout->addLayout(BuildProblemSettingsColumn(page), 1);
  // The backups of the normalization: grids that exist but are never seen.
  StringGrid2 = new QtGrid(2, 100, 24, false, page);
  StringGrid6 = new QtGrid(2, 100, 24, false, page);
  StringGrid2->hide();
  StringGrid6->hide();
  ConnectProblemPage();
  SetUpDataGrids();
  return page;
}

QGroupBox* TForm1::BuildTrainingBox(QWidget* page) {
  GroupBox6 = new QGroupBox(QStringLiteral("Training Data"), page);
  Label20 = new QLabel(QStringLiteral("X"), GroupBox6);
  Label26 = new QLabel(QStringLiteral("Y"), GroupBox6);
  StringGrid1 = new QtGrid(2, 100, 24, true, GroupBox6);
  SizeDataColumns(StringGrid1);
  BitBtn3 = new QPushButton(QStringLiteral("Load"), GroupBox6);
  Button1 = new QPushButton(QStringLiteral("Clear"), GroupBox6);
  auto* box = new QVBoxLayout(GroupBox6);
  auto* heads = new QHBoxLayout();
  Label20->setFixedWidth(kXColumn);
  Label20->setAlignment(Qt::AlignCenter);
  Label26->setFixedWidth(kYColumn);
  Label26->setAlignment(Qt::AlignCenter);
  heads->addWidget(Label20);
  heads->addWidget(Label26);
  heads->addStretch(1);
  box->addLayout(heads);
  box->addWidget(StringGrid1, 1);
  box->addLayout(ButtonRow(BitBtn3, Button1));
  return GroupBox6;
}

QGroupBox* TForm1::BuildValidationBox(QWidget* page) {
  GroupBox21 = new QGroupBox(QStringLiteral("Validation Data"), page);
  StringGrid3 = new QtGrid(2, 100, 24, false, GroupBox21);
  SizeDataColumns(StringGrid3);
  Button4 = new QPushButton(QStringLiteral("Load"), GroupBox21);
  Button5 = new QPushButton(QStringLiteral("Clear"), GroupBox21);
  auto* box = new QVBoxLayout(GroupBox21);
  box->addWidget(StringGrid3, 1);
  box->addLayout(ButtonRow(Button4, Button5));
  return GroupBox21;
}

QVBoxLayout* TForm1::BuildProblemSettingsColumn(QWidget* page) {
  auto* right = new QVBoxLayout();
  right->addWidget(BuildFunctionsBox(page));
  right->addWidget(BuildConstantsBox(page));
  Button2 = new QPushButton(QStringLiteral("Normalization"), page);
  Button3 = new QPushButton(QStringLiteral("Reset"), page);
  Button3->setEnabled(false);
  right->addLayout(ButtonRow(Button2, Button3));
  DataHint = new QLabel(page);
  right->addWidget(DataHint);
  right->addStretch(1);
  return right;
}

QGroupBox* TForm1::BuildFunctionsBox(QWidget* page) {
  FunctionsGrouoBox = new QGroupBox(QStringLiteral("Functions"), page);
  CheckListBox1 = new QListWidget(FunctionsGrouoBox);
  CheckListBox1->setFlow(QListView::TopToBottom);
  CheckListBox1->setWrapping(true);
  CheckListBox1->setResizeMode(QListView::Adjust);
  CheckListBox1->setGridSize(QSize(100, 20));
  CheckListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  CheckListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  CheckListBox1->setFixedHeight(5 * 20 + 2 * CheckListBox1->frameWidth() + 2);
  for (const char* item : kFunctionItems) {
    auto* entry = new QListWidgetItem(QString::fromLatin1(item), CheckListBox1);
    entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
    entry->setCheckState(Qt::Unchecked);
  }
  (new QVBoxLayout(FunctionsGrouoBox))->addWidget(CheckListBox1);
  return FunctionsGrouoBox;
}

QGroupBox* TForm1::BuildConstantsBox(QWidget* page) {
  GroupBox3 = new QGroupBox(QStringLiteral("Constants"), page);
  Label13 = new QLabel(QStringLiteral("Range"), GroupBox3);
  Edit10 = NewEdit("-10", GroupBox3);
  Label12 = new QLabel(QStringLiteral("-"), GroupBox3);
  Edit11 = NewEdit("10", GroupBox3);
  Label19 = new QLabel(QStringLiteral("Number of constant"), GroupBox3);
  Edit12 = NewEdit("1000", GroupBox3);
  auto* grid = new QGridLayout(GroupBox3);
  grid->addWidget(Label13, 0, 0);
  grid->addWidget(Edit10, 0, 1);
  grid->addWidget(Label12, 0, 2);
  grid->addWidget(Edit11, 0, 3);
  grid->addWidget(Label19, 1, 0, 1, 2);
  grid->addWidget(Edit12, 1, 3);
  grid->setColumnStretch(4, 1);
  return GroupBox3;
}

void TForm1::ConnectProblemPage() {
  connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
}

QWidget* TForm1::BuildPopulationsPage() {
  auto* page = new QWidget();
  auto* layout = new QVBoxLayout(page);
  auto* top = new QHBoxLayout();
  Label81 = new QLabel(QStringLiteral("Number of Population"), page);
  ComboBox1 = new QComboBox(page);
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->addItems(
      {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
  ComboBox1->setCurrentText(QStringLiteral("1"));
  ComboBox1->setFixedWidth(56);
  top->addWidget(Label81);
  top->addWidget(ComboBox1);
  top->addStretch(1);
  layout->addLayout(top);

  PageControl2 = new QTabWidget(page);
  for (int i = 0; i < 4; ++i) {
    PageControl2->addTab(BuildPanel(i), QStringLiteral("No%1").arg(i + 1));
  }
  for (int i = 1; i < 4; ++i) PageControl2->setTabVisible(i, false);
  PageControl2->setCurrentIndex(0);
  layout->addWidget(PageControl2, 1);
  NamePanelControls();

  connect(ComboBox1, &QComboBox::currentTextChanged, this, &TForm1::ComboBox1Change);
  connect(PageControl2, &QTabWidget::currentChanged, this, &TForm1::CheckBox2Click);
  for (PopulationPanel& panel : panels_) {
    connect(panel.crossover, &QLineEdit::textChanged, this, &TForm1::Edit4Change);
    connect(panel.mutation, &QLineEdit::textChanged, this, &TForm1::Edit5Change);
    connect(panel.onePointMutation, &QLineEdit::textChanged, this, &TForm1::Edit6Change);
    connect(panel.function, &QLineEdit::textChanged, this, &TForm1::Edit13Change);
    connect(panel.variable, &QLineEdit::textChanged, this, &TForm1::Edit14Change);
    connect(panel.selectionMethod, &RadioGroup::clicked, this, &TForm1::RadioGroup1Click);
    connect(panel.eliteStrategy, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(panel.breakPoint, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
  }
  return page;
}

QWidget* TForm1::BuildPanel(int index) {
  PopulationPanel& p = panels_[static_cast<std::size_t>(index)];
  auto* sheet = new QWidget();
  p.tabSheet = sheet;
  auto* columns = new QHBoxLayout(sheet);
  columns->addLayout(SelectionColumn(p, index, sheet));
  columns->addLayout(OperationsColumn(p, sheet));
  columns->addLayout(NodesColumn(p, sheet));
  columns->addStretch(1);
  return sheet;
}

void TForm1::NamePanelControls() {
  auto& [a, b, c, d] = panels_;
  TabSheet2 = a.tabSheet, TabSheet5 = b.tabSheet, TabSheet6 = c.tabSheet, TabSheet7 = d.tabSheet;
  Shape1 = a.shape, Shape2 = b.shape, Shape3 = c.shape, Shape4 = d.shape;
  Edit1 = a.populationSize, Edit18 = b.populationSize, Edit30 = c.populationSize,
  Edit42 = d.populationSize;
  Edit2 = a.generation, Edit19 = b.generation, Edit31 = c.generation, Edit43 = d.generation;
  RadioGroup1 = a.selectionMethod, RadioGroup2 = b.selectionMethod, RadioGroup3 = c.selectionMethod,
  RadioGroup4 = d.selectionMethod;
  Edit3 = a.tournamentSize, Edit20 = b.tournamentSize, Edit32 = c.tournamentSize,
  Edit44 = d.tournamentSize;
  CheckBox1 = a.eliteStrategy, CheckBox8 = b.eliteStrategy, CheckBox10 = c.eliteStrategy,
  CheckBox12 = d.eliteStrategy;
  Edit7 = a.eliteShare, Edit21 = b.eliteShare, Edit33 = c.eliteShare, Edit45 = d.eliteShare;
  Edit8 = a.maxLength, Edit22 = b.maxLength, Edit34 = c.maxLength, Edit46 = d.maxLength;
  Edit9 = a.maxInitialDepth, Edit23 = b.maxInitialDepth, Edit35 = c.maxInitialDepth,
  Edit47 = d.maxInitialDepth;
  Edit4 = a.crossover, Edit24 = b.crossover, Edit36 = c.crossover, Edit48 = d.crossover;
  Edit5 = a.mutation, Edit25 = b.mutation, Edit37 = c.mutation, Edit49 = d.mutation;
  Edit6 = a.onePointMutation, Edit26 = b.onePointMutation, Edit38 = c.onePointMutation,
  Edit50 = d.onePointMutation;
  Label6 = a.reproduction, Label42 = b.reproduction, Label59 = c.reproduction,
  Label75 = d.reproduction;
  Edit13 = a.function, Edit27 = b.function, Edit39 = c.function, Edit51 = d.function;
  Edit14 = a.variable, Edit28 = b.variable, Edit40 = c.variable, Edit52 = d.variable;
  ConstLabel = a.constant, Label46 = b.constant, Label63 = c.constant, Label79 = d.constant;
  CheckBox2 = a.breakPoint, CheckBox9 = b.breakPoint, CheckBox11 = c.breakPoint,
  CheckBox13 = d.breakPoint;
  Edit15 = a.breakEvery, Edit29 = b.breakEvery, Edit41 = c.breakEvery, Edit53 = d.breakEvery;
}

QWidget* TForm1::BuildResultsPage() {
  auto* page = new QWidget();
  auto* layout = new QGridLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);
  BuildResultCharts(page, layout);
  layout->addWidget(BuildResultsSideColumn(page), 0, 2, 2, 1);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(1, 1);
  ConnectResultsPage();
  return page;
}

void TForm1::BuildResultCharts(QWidget* page, QGridLayout* layout) {
  Chart2 = new QtChart(FitnessSeries(), QStringLiteral("Generation"),
                       QStringLiteral("Fitness of best indv."), page);
  Chart3 = new QtChart(LengthSeries(), QStringLiteral("Generation"),
                       QStringLiteral("Length of gene"), page);
  Chart4 = new QtChart(MainPredictionSeries(), QString(), QString(), page);
  FitnessStrip = new FitnessBaselines(Chart2, page);
  layout->addWidget(FitnessStrip, 0, 0);
  layout->addWidget(Chart3, 0, 1);
  layout->addWidget(Chart4, 1, 0, 1, 2);
}

// The column beside the charts. Its widgets are made on the page and move into the column
// when it takes their layout.
QWidget* TForm1::BuildResultsSideColumn(QWidget* page) {
  auto* side = new QVBoxLayout();
  side->addWidget(BuildBestIndividualPanel(page), 1);
  side->addLayout(BuildWindowSizeRow(page));
  side->addWidget(BuildOutputBox(page), 1);
  Forecast = new ForecastView(StringGrid5, page);
  Forecast->AddChart(Chart4);
  side->addWidget(Forecast);
  BuildRunStatus(page, side);
  auto* sideColumn = new QWidget(page);
  sideColumn->setLayout(side);
  side->setContentsMargins(0, 0, 0, 0);
  sideColumn->setFixedWidth(190);
  return sideColumn;
}

QFrame* TForm1::BuildBestIndividualPanel(QWidget* page) {
  Panel2 = new QFrame(page);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Label28 = new QLabel(QStringLiteral("Best Individual"), Panel2);
  Memo1 = new QtMemo(Panel2);
  auto* box = new QVBoxLayout(Panel2);
  box->setContentsMargins(3, 3, 3, 3);
  box->addWidget(Label28);
  box->addWidget(Memo1, 1);
  return Panel2;
}

QHBoxLayout* TForm1::BuildWindowSizeRow(QWidget* page) {
  auto* window = new QHBoxLayout();
  Label18 = new QLabel(QStringLiteral("Window Size"), page);
  Edit16 = NewEdit("5", page, 40);
  UpDown1 = new UpDown(Edit16, 1, 100, 5, page);
  window->addWidget(Label18);
  window->addWidget(Edit16);
  window->addWidget(UpDown1);
  window->addStretch(1);
  return window;
}

QGroupBox* TForm1::BuildOutputBox(QWidget* page) {
  GroupBox8 = new QGroupBox(QStringLiteral("Output"), page);
  StringGrid4 = new QtGrid(5, 6, 16, false, GroupBox8);
  StringGrid4->SetDefaultColWidth(36);
  StringGrid5 = new QtGrid(2, 5, 16, false, GroupBox8);
  StringGrid5->SetDefaultColWidth(72);
  new ColumnFitter(StringGrid5, false);
  // The working series lies under the output grid and is never seen.
  StringGrid4->hide();
  (new QVBoxLayout(GroupBox8))->addWidget(StringGrid5);
  return GroupBox8;
}

// The progress bar, the status label of each population and Start/Stop, appended to `side`.
void TForm1::BuildRunStatus(QWidget* page, QVBoxLayout* side) {
  ProgressBar1 = new QtProgressBar(page);
  ProgressBar1->SetRange(0, 100);
  side->addWidget(ProgressBar1);
  Label31 = new QtLabel(QStringLiteral("Not running"), page);
  Label48 = new QtLabel(QStringLiteral("Not running"), page);
  Label82 = new QtLabel(QStringLiteral("Not running"), page);
  Label83 = new QtLabel(QStringLiteral("Not running"), page);
  for (QtLabel* label : {Label31, Label48, Label82, Label83}) side->addWidget(label);
  Label48->hide();
  Label82->hide();
  Label83->hide();
  BitBtn2 = new BitBtn(QStringLiteral("Start"), toolkit::ButtonKind::Ok, page);
  BitBtn1 = new BitBtn(QStringLiteral("Stop"), toolkit::ButtonKind::No, page);
  BitBtn1->setEnabled(false);
  side->addLayout(ButtonRow(BitBtn2, BitBtn1));
}

void TForm1::ConnectResultsPage() {
  connect(Chart2, &QtChart::doubleClicked, this, &TForm1::Chart2DblClick);
  connect(Chart3, &QtChart::doubleClicked, this, &TForm1::Chart3DblClick);
  connect(Chart4, &QtChart::doubleClicked, this, &TForm1::Chart4DblClick);
  connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
  connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
}

void TForm1::BuildMenu() {
  FileMenu = menuBar()->addMenu(QStringLiteral("File (&F)"));
  EditMenu = menuBar()->addMenu(QStringLiteral("Edit (&E)"));
  GPRunMenu = menuBar()->addMenu(QStringLiteral("GP Run (&R)"));
  HelpMenu = menuBar()->addMenu(QStringLiteral("Help (&H)"));
  EditMenu->menuAction()->setVisible(false);
  GPRunMenu->menuAction()->setVisible(false);

  LoadTrainingData2 = FileMenu->addAction(QStringLiteral("Load training data (&T)"));
  LoadTrainingData2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  Load1 = FileMenu->addAction(QStringLiteral("Load validation data (&V)"));
  Load1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  Load1->setEnabled(false);
  Exit1 = FileMenu->addAction(QStringLiteral("Exit (&X)"));
  Forecast1 = new QAction(QStringLiteral("Forecast…"), this);
  FileMenu->insertAction(Exit1, Forecast1);
  CutT1 = EditMenu->addAction(QStringLiteral("Cut (T)"));
  CutT1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  CopyC1 = EditMenu->addAction(QStringLiteral("Copy (&C)"));
  CopyC1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  StartGPrun1 = GPRunMenu->addAction(QStringLiteral("Start GP run"));
  StartGPrun1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  About1 = HelpMenu->addAction(QStringLiteral("About Vobrix (&A)"));
  VobrixWebSite1 = HelpMenu->addAction(QStringLiteral("Vobrix Web Site"));

  // A shortcut belongs to its entry even when the entry's menu is hidden.
  for (QAction* action : {LoadTrainingData2, Load1, CutT1, CopyC1, StartGPrun1}) {
    addAction(action);
  }
  connect(LoadTrainingData2, &QAction::triggered, this, &TForm1::BitBtn3Click);
  connect(Load1, &QAction::triggered, this, &TForm1::BitBtn4Click);
  connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
  connect(StartGPrun1, &QAction::triggered, this, &TForm1::BitBtn2Click);
  connect(About1, &QAction::triggered, this, &TForm1::About1Click);
  connect(VobrixWebSite1, &QAction::triggered, this, &TForm1::VobrixWebSite1Click);
  connect(Forecast1, &QAction::triggered, this, [this] { ShowForecastDialog(*this); });
  // Cut and Copy take their keys and do nothing.
}

// ---- Creation, closing, exit ---------------------------------------------------------------

void TForm1::FormCreate() {
  QString directory;
  try {
    directory = ReadInitialDirectory();
  } catch (const SettingsError& error) {
    seam().ErrorBox(this, QString::fromUtf8(error.what()));
    return;
  }
  if (!directory.isEmpty()) OpenDialog1.initialDir = directory;
  for (int i = kAdd; i <= kDivide; ++i) CheckListBox1->item(i)->setCheckState(Qt::Checked);
  aboutBox_->show();
  seam().Wait(3000);
  aboutBox_->hide();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (EndRunBeforeLeaving(false)) {
    event->ignore();
    return;
  }
  RunHook(hooks.close);
  try {
    WriteInitialDirectory(CurrentDirectoryText());
  } catch (const SettingsError& error) {
    seam().ErrorBox(this, QString::fromUtf8(error.what()));
    event->ignore();
    return;
  }
  event->accept();
}

void TForm1::Exit1Click() {
  if (EndRunBeforeLeaving(true)) return;
  try {
    WriteInitialDirectory(CurrentDirectoryText());
  } catch (const SettingsError& error) {
    seam().ErrorBox(this, QString::fromUtf8(error.what()));
    return;
  }
  seam().Exit(0);
}

std::optional<QString> TForm1::ExecuteOpenDialog() {
  std::optional<QString> file = seam().OpenFileName(this, OpenDialog1.initialDir);
  if (file) {
    const QString folder = QFileInfo(*file).absolutePath();
    QDir::setCurrent(folder);
    OpenDialog1.initialDir = folder;
  }
  return file;
}

// ---- Hooks ---------------------------------------------------------------------------------

void TForm1::RunHook(const std::function<void()>& hook) {
  if (hook) Guarded(this, hook);
}

void TForm1::SetRunning(bool running) {
  running_ = running;
  ComboBox1->setEnabled(!running);
}

// Start and Stop/Resume (BitBtn2Click, BitBtn1Click) are in unit1_run.cpp.
// The data handlers (Load, Clear, Normalization, Reset) are in unit1_data.cpp.

// ---- Secondary windows ---------------------------------------------------------------------

void TForm1::About1Click() {
  aboutBox_->show();
  aboutBox_->raise();
  aboutBox_->activateWindow();
}

void TForm1::VobrixWebSite1Click() {
  seam().OpenUrl(QUrl(QString::fromLatin1(kWebPage)));
}

void TForm1::Chart2DblClick() {
  form5_->ShowInFront();
}
void TForm1::Chart3DblClick() {
  form6_->ShowInFront();
}
void TForm1::Chart4DblClick() {
  form4_->ShowInFront();
}

// ---- Panels --------------------------------------------------------------------------------

bool TForm1::FunctionTicked(int index) const {
  const QListWidgetItem* item = CheckListBox1->item(index);
  return item && item->checkState() == Qt::Checked;
}

int TForm1::ActivePanel() const {
  return std::max(PageControl2->currentIndex(), 0);
}

void TForm1::ShowConversionError(const ConversionError& error) {
  seam().ErrorBox(this, ConversionMessage(error));
}

void TForm1::UpdateRateRemainder() {
  // The active panel's label follows, whichever panel's edit changed.
  const PopulationPanel& p = panels_[static_cast<std::size_t>(ActivePanel())];
  try {
    const float crossover = TextToSingle(p.crossover->text().toStdString());
    const float mutation = TextToSingle(p.mutation->text().toStdString());
    const float onePoint = TextToSingle(p.onePointMutation->text().toStdString());
    const double remainder = 1.0 - static_cast<double>(crossover) - static_cast<double>(mutation) -
                             static_cast<double>(onePoint);
    p.reproduction->SetCaption(FormatRemainder(remainder));
  } catch (const ConversionError& error) {
    ShowConversionError(error);
  }
}

void TForm1::UpdateRatioRemainder() {
  const PopulationPanel& p = panels_[static_cast<std::size_t>(ActivePanel())];
  try {
    const float function = TextToSingle(p.function->text().toStdString());
    const float variable = TextToSingle(p.variable->text().toStdString());
    const double remainder = 1.0 - static_cast<double>(function) - static_cast<double>(variable);
    p.constant->SetCaption(FormatRemainder(remainder));
  } catch (const ConversionError& error) {
    ShowConversionError(error);
  }
}

void TForm1::Edit4Change() {
  UpdateRateRemainder();
}
void TForm1::Edit5Change() {
  UpdateRateRemainder();
}
void TForm1::Edit6Change() {
  UpdateRateRemainder();
}
void TForm1::Edit13Change() {
  UpdateRatioRemainder();
}
void TForm1::Edit14Change() {
  UpdateRatioRemainder();
}

void TForm1::RadioGroup1Click() {
  for (PopulationPanel& p : panels_) {
    SetEditEnabled(p.tournamentSize, p.selectionMethod->ItemIndex() == 1);
  }
}

void TForm1::CheckBox1Click() {
  for (PopulationPanel& p : panels_) SetEditEnabled(p.eliteShare, p.eliteStrategy->isChecked());
}

void TForm1::CheckBox2Click() {
  for (PopulationPanel& p : panels_) SetEditEnabled(p.breakEvery, p.breakPoint->isChecked());
}

void TForm1::RestoreComboText() {
  const QSignalBlocker blocker(ComboBox1);
  ComboBox1->setCurrentText(QString::number(lastPopIndex + 1));
}

void TForm1::ComboBox1Change() {
  // The run driver reads lastPopIndex every generation: no change while a run exists.
  if (running_) {
    RestoreComboText();
    return;
  }
  int count = 0;
  try {
    count = TextToInt(ComboBox1->currentText().toStdString());
  } catch (const ConversionError& error) {
    ShowConversionError(error);
    return;
  }
  // Room for four populations only; any other number gives back the count in effect.
  if (count < 1 || count > 4) {
    RestoreComboText();
    return;
  }
  lastPopIndex = count - 1;
  for (int i = 1; i < 4; ++i) PageControl2->setTabVisible(i, i < count);
  PageControl2->setCurrentIndex(0);
}

bool TForm1::TabSheet3Hide() {
  bool stay = false;
  try {
    if (TextToFloat(Label6->text().toStdString()) < 0.0) {
      Edit4->setText(QStringLiteral("0.70"));
      Edit5->setText(QStringLiteral("0.20"));
      Edit6->setText(QStringLiteral("0.00"));
      Label6->setText(QStringLiteral("0.10"));
      seam().MessageBox(this, QStringLiteral("The sum of operation rate must be 1.0"));
      stay = true;
    }
    if (TextToFloat(ConstLabel->text().toStdString()) < 0.0) {
      Edit13->setText(QStringLiteral("0.50"));
      Edit14->setText(QStringLiteral("0.20"));
      ConstLabel->setText(QStringLiteral("0.30"));
      seam().MessageBox(this, QStringLiteral("The sum of initial node ratio must be 1.0"));
      stay = true;
    }
  } catch (const ConversionError& error) {
    ShowConversionError(error);
    stay = true;
  }
  return stay;
}

bool TForm1::TabSheet1Hide() {
  double lower = 0.0;
  double upper = 0.0;
  try {
    lower = TextToFloat(Edit10->text().toStdString());
    upper = TextToFloat(Edit11->text().toStdString());
  } catch (const ConversionError& error) {
    // The range cannot be read: stay, so that the user can mend it.
    ShowConversionError(error);
    return true;
  }
  if (!IsProperConstantRange(lower, upper)) {
    seam().MessageBox(this, QStringLiteral("Please set the range of constants proparly"));
    Edit10->setText(QStringLiteral("-10"));
    Edit11->setText(QStringLiteral("10"));
    return true;
  }
  return false;
}

bool TForm1::PageMustStay(int page) {
  if (page == kPopulationsPage) return TabSheet3Hide();
  if (page == kProblemPage) return TabSheet1Hide();
  return false;
}

// ---- Keyboard ------------------------------------------------------------------------------

void TForm1::keyPressEvent(QKeyEvent* event) {
  // Enter and Esc arrive here only when the focused control did not take them.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool escape = event->key() == Qt::Key_Escape;
  const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if ((enter || escape) && modifiers == Qt::NoModifier &&
      PageControl1->currentWidget() == TabSheet4) {
    if (enter) {
      if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
          focused && focused->isEnabled()) {
        focused->click();
        return;
      }
    }
    const toolkit::ButtonKind kind = enter ? toolkit::ButtonKind::Ok : toolkit::ButtonKind::No;
    for (BitBtn* button : {BitBtn2, BitBtn1}) {
      if (button->Kind() == kind && button->isEnabled()) {
        button->click();
        return;
      }
    }
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this && IsClipboardKey(static_cast<QKeyEvent*>(event))) {
      // Left unaccepted, a shortcut override lets the menu entry take the key; the key press
      // itself (Ctrl+V, whose entry is disabled) is dropped.
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace vobrix::ui
