#include "ui/data_hint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "problem/datafile.h"
#include "problem/textconv.h"
#include "toolkit/toolkit.h"

namespace vobrix::ui {

namespace {

constexpr const char* kSampleTraining[] = {"mackey-glass-train.txt", "seasonal-train.txt"};

bool HoldsSamples(const QDir& folder) {
  return QFileInfo(folder.filePath(QString::fromLatin1(kSampleTraining[0]))).isFile();
}

// Control characters would garble the message box, and a tab would stretch to its next tab
// stop there: a tab shows as a space, any other control character as '?'.
QString Printable(const std::string& text) {
  QString shown = QString::fromStdString(text);
  for (QChar& c : shown) {
    if (c == QLatin1Char('\t')) {
      c = QLatin1Char(' ');
    } else if (c.unicode() < 0x20) {
      c = QLatin1Char('?');
    }
  }
  return shown;
}

}  // namespace

QString SampleDataFolder() {
  QStringList candidates{QDir::current().filePath(QStringLiteral("data"))};
  QDir up(QCoreApplication::applicationDirPath());
  for (int level = 0; level < 4; ++level) {
    candidates << up.filePath(QStringLiteral("data"));
    if (!up.cdUp()) break;
  }
  for (const QString& candidate : candidates) {
    if (HoldsSamples(QDir(candidate))) return QDir::cleanPath(candidate);
  }
  return {};
}

QString DataHintText(const QString& folder) {
  QString text =
      QStringLiteral(
          "No data loaded yet. To try the program, press \"Load\" under \"Training Data\" and "
          "choose a sample series, %1 or %2, then \"Load\" under \"Validation Data\" for the "
          "matching -validation.txt file. ")
          .arg(QString::fromLatin1(kSampleTraining[0]), QString::fromLatin1(kSampleTraining[1]));
  text += folder.isEmpty()
              ? QStringLiteral("They are in the data folder that comes with the program.")
              : QStringLiteral("They are in %1.").arg(QDir::toNativeSeparators(folder));
  return text;
}

QString LoadFailureMessage(const DataFileError& error) {
  if (error.kind() != DataFileError::Kind::kInvalidData) {
    return QString::fromStdString(error.what());
  }
  QString message = QStringLiteral("Selected Data contains Invalid Value.\n");
  if (error.lineCount() == 0) return message + QStringLiteral("The file is empty.");
  const QString text = Printable(error.lineText());
  message += text.trimmed().isEmpty()
                 ? QStringLiteral("Line %1 is empty").arg(error.line())
                 : QStringLiteral("Line %1 holds \"%2\"").arg(error.line()).arg(text);
  return message + QStringLiteral("; every line must hold two numbers, X and Y.");
}

QString InvalidTrainingMessage(const toolkit::Grid& grid) {
  QString message = QStringLiteral("Loaded Training Data contains Invalid Value.");
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) {
      const std::string& text = grid.Cell(col, row);
      if (IsNumber(text)) continue;
      const QString where = QStringLiteral("\nRow %1, %2")
                                .arg(row + 1)
                                .arg(col == 0 ? QLatin1Char('X') : QLatin1Char('Y'));
      return message + where +
             (text.empty() ? QStringLiteral(" is empty.")
                           : QStringLiteral(": \"%1\" is not a number.").arg(Printable(text)));
    }
  }
  return message;
}

}  // namespace vobrix::ui
