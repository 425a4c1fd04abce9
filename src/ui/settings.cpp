#include "ui/settings.h"

#include <QDir>
#include <QSettings>

namespace vobrix::ui {

namespace {
QString Key() {
  return QStringLiteral("%1/%2").arg(QLatin1String(kDirectorySection),
                                     QLatin1String(kDirectoryValue));
}
}  // namespace

QString ReadInitialDirectory() {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                  QLatin1String(kSettingsOrganization), QLatin1String(kSettingsApplication));
  if (store.status() != QSettings::NoError) {
    throw SettingsError("Failed to get data for 'INIT'");
  }
  const QVariant value = store.value(Key());
  if (!value.isValid()) return QString::fromLatin1(kDefaultDirectory);
  if (value.typeId() != QMetaType::QString) {
    throw SettingsError("Invalid data type for 'INIT'");
  }
  return value.toString();
}

void WriteInitialDirectory(const QString& directory) {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                  QLatin1String(kSettingsOrganization), QLatin1String(kSettingsApplication));
  store.setValue(Key(), directory);
  store.sync();
  if (store.status() != QSettings::NoError) {
    throw SettingsError("Failed to set data for 'INIT'");
  }
}

QString CurrentDirectoryText() {
  return QDir::toNativeSeparators(QDir::currentPath());
}

}  // namespace vobrix::ui
