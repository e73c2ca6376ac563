// The window's size, place and open tab, kept in Data/Window.ini of the data folder so
// the next start looks as the seller left it.
#pragma once

#include <QString>

class QMainWindow;
class QTabWidget;

namespace vt::ui {

// Restores what SaveWindowState kept; a missing or damaged file leaves the defaults.
void RestoreWindowState(QMainWindow& window, QTabWidget& tabs, const QString& iniPath);
// False when the file could not be written (a full disk, a read-only folder).
bool SaveWindowState(const QMainWindow& window, const QTabWidget& tabs, const QString& iniPath);

}  // namespace vt::ui
