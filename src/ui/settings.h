// The one setting kept between starts: the data directory, in the user's native store
// (on Windows the registry key Software\Vobrix\Regression, section DIRECTORY, value INIT).
#pragma once

#include <QString>
#include <stdexcept>

namespace vobrix::ui {

inline constexpr const char* kSettingsOrganization = "Vobrix";
inline constexpr const char* kSettingsApplication = "Regression";
inline constexpr const char* kDirectorySection = "DIRECTORY";
inline constexpr const char* kDirectoryValue = "INIT";
inline constexpr const char* kDefaultDirectory = "C:\\";

// The store could not be read or written, or holds a value that is not a string.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The stored directory; "C:\" when the section or the value is missing.
QString ReadInitialDirectory();
// Stores the directory; throws SettingsError when the store refuses it.
void WriteInitialDirectory(const QString& directory);
// The process's working directory as the platform writes paths.
QString CurrentDirectoryText();

}  // namespace vobrix::ui
