#include "ui/window_state.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QSettings>
#include <QTabWidget>

#include "base/files.h"

namespace vt::ui {

void RestoreWindowState(QMainWindow& window, QTabWidget& tabs, const QString& iniPath) {
    QSettings file(iniPath, QSettings::IniFormat);
    window.restoreGeometry(file.value(QStringLiteral("Window/Geometry")).toByteArray());
    bool ok = false;
    const int tab = file.value(QStringLiteral("Window/Tab")).toInt(&ok);
    if (ok && tab >= 0 && tab < tabs.count())
        tabs.setCurrentIndex(tab);
}

bool SaveWindowState(const QMainWindow& window, const QTabWidget& tabs, const QString& iniPath) {
    const bool existed = QFileInfo::exists(iniPath);
    QSettings file(iniPath, QSettings::IniFormat);
    file.setValue(QStringLiteral("Window/Geometry"), window.saveGeometry());
    file.setValue(QStringLiteral("Window/Tab"), tabs.currentIndex());
    // QSettings writes late and quietly: the sync makes a full disk show here.
    file.sync();
    const bool ok = file.status() == QSettings::NoError;
    if (ok && !existed)
        KeepPrivate(QFile::encodeName(iniPath).toStdString(), false);
    return ok;
}

}  // namespace vt::ui
