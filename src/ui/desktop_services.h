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
// No login dialog yet: the command does nothing.
class NoLoginDialogs : public LoginDialogs {
public:
    void OpenLogin(QWidget*) override {}
};

struct DesktopServices {
    MessageBoxes* messages = nullptr;
    FolderOpener* folders = nullptr;
    LoginDialogs* login = nullptr;
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
    int count = 0;
    std::function<void()> afterClose;
};

}  // namespace vt::ui
