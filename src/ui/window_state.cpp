#include "ui/window_state.h"

#include <QMainWindow>
#include <QSettings>
#include <QTabWidget>

namespace vt::ui {

void RestoreWindowState(QMainWindow& window, QTabWidget& tabs, const QString& iniPath) {
    QSettings file(iniPath, QSettings::IniFormat);
    window.restoreGeometry(file.value(QStringLiteral("Window/Geometry")).toByteArray());
    bool ok = false;
    const int tab = file.value(QStringLiteral("Window/Tab")).toInt(&ok);
    if (ok && tab >= 0 && tab < tabs.count())
        tabs.setCurrentIndex(tab);
}

void SaveWindowState(const QMainWindow& window, const QTabWidget& tabs, const QString& iniPath) {
    QSettings file(iniPath, QSettings::IniFormat);
    file.setValue(QStringLiteral("Window/Geometry"), window.saveGeometry());
    file.setValue(QStringLiteral("Window/Tab"), tabs.currentIndex());
}

}  // namespace vt::ui
