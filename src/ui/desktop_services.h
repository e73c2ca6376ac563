// What the window asks of the desktop, behind small interfaces so that tests record the
// requests instead of blocking on a modal box or opening a file browser.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

class QWidget;

namespace vt::ui {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal message box with one "确定" button.
    virtual void Show(QWidget* parent, const QString& text) = 0;
};

class FolderOpener {
public:
    virtual ~FolderOpener() = default;
    // The platform's "open" action on a folder or a web address.
    virtual void Open(const QString& pathOrUrl) = 0;
};

class LoginDialogs {
public:
    virtual ~LoginDialogs() = default;
    // "登录 淘宝网": the marketplace login dialog.
    virtual void OpenLogin(QWidget* parent) = 0;
    // The same dialog for a page that reloads what needs the login once the dialog has
    // closed. The default suits a dialog that OpenLogin shows modally; one that returns
    // at once must run afterClose itself when it closes.
    virtual void OpenLoginThen(QWidget* parent, std::function<void()> afterClose) {
        OpenLogin(parent);
        if (afterClose)
            afterClose();
    }
    // "多开登录" of the accounts panel (once the panel allowed it): the multi-login dialog.
    virtual void OpenMultiLogin(QWidget* parent) = 0;
};

class FileChoosers {
public:
    virtual ~FileChoosers() = default;
    // A save-file / open-file chooser with that filter ("文件 (*.txt)"); empty on cancel.
    virtual QString SaveFile(QWidget* parent, const QString& filter) = 0;
    virtual QString OpenFile(QWidget* parent, const QString& filter) = 0;
};

// The desktop's own implementations.
class QtMessageBoxes : public MessageBoxes {
public:
    void Show(QWidget* parent, const QString& text) override;
};
class QtFolderOpener : public FolderOpener {
public:
    void Open(const QString& pathOrUrl) override;
};
class QtFileChoosers : public FileChoosers {
public:
    QString SaveFile(QWidget* parent, const QString& filter) override;
    QString OpenFile(QWidget* parent, const QString& filter) override;
};

struct DesktopServices {
    MessageBoxes* messages = nullptr;
    FolderOpener* folders = nullptr;
    LoginDialogs* login = nullptr;
    FileChoosers* files = nullptr;
};

// Recorders for tests and screenshots.
class RecordedMessages : public MessageBoxes {
public:
    void Show(QWidget*, const QString& text) override { shown << text; }
    QStringList shown;
};
class RecordedOpens : public FolderOpener {
public:
    void Open(const QString& pathOrUrl) override { opened << pathOrUrl; }
    QStringList opened;
};
class RecordedLogins : public LoginDialogs {
public:
    void OpenLogin(QWidget*) override { ++count; }
    // Kept for the test, which logs in and then "closes" the dialog by calling it.
    void OpenLoginThen(QWidget*, std::function<void()> then) override {
        ++count;
        afterClose = std::move(then);
    }
    void OpenMultiLogin(QWidget*) override { ++multiCount; }
    int count = 0;
    int multiCount = 0;
    std::function<void()> afterClose;
};
// Answers each chooser with the next queued name (empty: cancelled) and records the filters.
class RecordedFiles : public FileChoosers {
public:
    QString SaveFile(QWidget*, const QString& filter) override { return Next(filter); }
    QString OpenFile(QWidget*, const QString& filter) override { return Next(filter); }
    QStringList answers;
    QStringList filters;

private:
    QString Next(const QString& filter) {
        filters << filter;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

}  // namespace vt::ui
