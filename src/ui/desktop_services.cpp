#include "ui/desktop_services.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace vt::ui {

void QtMessageBoxes::Show(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vantrell"), text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

QString QtFileChoosers::SaveFile(QWidget* parent, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
}

QString QtFileChoosers::OpenFile(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

void QtFolderOpener::Open(const QString& pathOrUrl) {
    const QUrl url = pathOrUrl.startsWith(QStringLiteral("http://")) ||
                             pathOrUrl.startsWith(QStringLiteral("https://"))
                         ? QUrl(pathOrUrl)
                         : QUrl::fromLocalFile(pathOrUrl);
    QDesktopServices::openUrl(url);
}

}  // namespace vt::ui
