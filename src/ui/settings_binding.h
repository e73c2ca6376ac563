// Every setting the settings pages show, bound to its control in one table: the keys of
// Data/Setting.ini, the settings held only in memory and the text boxes of the data
// files and list editors. A setting is added to its page by one row of the table; each
// edit of a control goes to the live setting at once, where every reader takes it.
#pragma once

#include <QObject>
#include <map>
#include <string>
#include <vector>

#include "core/sys_config.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QWidget;

namespace vt::ui {

// The ten pages, in tab order.
enum class SettingsPage {
    Basic,
    DataFiles,
    DefaultContent,
    TaobaoBase,
    PriceFreight,
    Description,
    FilterKeywords,
    ForbiddenBooks,
    ForbiddenMarks,
    ForbiddenPublishers,
};
inline constexpr int kSettingsPageCount = 10;

enum class ControlKind {
    Check,    // check box (bool)
    Edit,     // one-line edit (text)
    Radio,    // two radio buttons, first = 0 (int; neither selected = kNoChoice)
    Choice,   // drop-down of two fixed entries, first = 0 (int)
    TextBox,  // multi-line box (text; the box shows "\n", the setting keeps "\r\n")
};

struct SettingControl {
    const char* key;  // the SysConfig field; for a saved setting also its key in the file
    ControlKind kind;
    SettingsPage page;
    const char* caption;   // check box text, first button or entry; empty for boxes
    const char* caption2;  // second button or entry
    bool digitsOnly;
    bool (SysConfig::*getBool)() const;
    void (SysConfig::*setBool)(bool);
    std::string (SysConfig::*getText)() const;
    void (SysConfig::*setText)(std::string);
    int (SysConfig::*getInt)() const;
    void (SysConfig::*setInt)(int);
};

// The table, in page order and, within a page, in the order the page shows them.
const std::vector<SettingControl>& SettingControls();
const SettingControl* FindSettingControl(const std::string& key);

class SettingsBinding : public QObject {
    Q_OBJECT
public:
    // Makes every control of the table as a child of holder; the pages lay them out.
    SettingsBinding(SysConfig& config, QWidget* holder);

    QCheckBox* check(const char* key) const;
    QLineEdit* edit(const char* key) const;
    QRadioButton* radio(const char* key, int index) const;
    QComboBox* choice(const char* key) const;
    QPlainTextEdit* textBox(const char* key) const;
    // The control of a row (the first button of a radio group).
    QWidget* control(const char* key) const;

    // The live values into every control (after loading) or into one.
    void ShowConfig();
    void ShowValue(const SettingControl& row);

private:
    struct Controls {
        QWidget* widget = nullptr;
        QButtonGroup* group = nullptr;
        QRadioButton* second = nullptr;
    };
    void Make(const SettingControl& row, QWidget* holder);
    const Controls& At(const char* key) const;

    SysConfig& config_;
    std::map<std::string, Controls> controls_;
};

}  // namespace vt::ui
