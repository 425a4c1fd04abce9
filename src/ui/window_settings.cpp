#include "ui/window_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include "ui/unit1.h"

namespace vobrix::ui {
namespace {

void SetText(QLineEdit* edit, const std::string& text) {
  edit->setText(QString::fromStdString(text));
}

void ApplyPanel(PopulationPanel& p, const PanelTexts& texts) {
  SetText(p.populationSize, texts.populationSize);
  SetText(p.generation, texts.generations);
  p.selectionMethod->SetItemIndex(texts.selectionIndex);
  SetText(p.tournamentSize, texts.tournamentSize);
  SetText(p.crossover, texts.crossover);
  SetText(p.mutation, texts.mutation);
  SetText(p.onePointMutation, texts.onePoint);
  p.eliteStrategy->setChecked(texts.eliteChecked);
  SetText(p.eliteShare, texts.elite);
  p.breakPoint->setChecked(texts.breakChecked);
  SetText(p.breakEvery, texts.breakEvery);
  SetText(p.maxLength, texts.maxLength);
  SetText(p.maxInitialDepth, texts.maxInitialDepth);
  SetText(p.function, texts.functionRatio);
  SetText(p.variable, texts.variableRatio);
}

}  // namespace

results::PanelSettings SettingsOfWindow(TForm1& form) {
  results::PanelSettings settings;
  settings.problem = form.ProblemSettingsOfWindow();
  settings.populations = form.lastPopIndex + 1;
  for (int i = 0; i < results::kMaxPopulations; ++i) {
    settings.panels[static_cast<std::size_t>(i)] = form.PanelTextsOf(i);
  }
  return settings;
}

void ApplySettings(TForm1& form, const results::PanelSettings& settings) {
  for (int i = 0; i < kFunctionTableSize; ++i) {
    form.CheckListBox1->item(i)->setCheckState(
        settings.problem.ticked[static_cast<std::size_t>(i)] ? Qt::Checked : Qt::Unchecked);
  }
  SetText(form.Edit12, settings.problem.constantCountText);
  SetText(form.Edit10, settings.problem.lowerText);
  SetText(form.Edit11, settings.problem.upperText);
  SetText(form.Edit16, settings.problem.windowSizeText);
  for (int i = 0; i < results::kMaxPopulations; ++i) {
    ApplyPanel(form.Panel(i), settings.panels[static_cast<std::size_t>(i)]);
  }
  // The edits' enabled states follow the boxes, as after a click.
  form.RadioGroup1Click();
  form.CheckBox1Click();
  form.CheckBox2Click();
  form.ComboBox1->setCurrentText(QString::number(settings.populations));
}

}  // namespace vobrix::ui
