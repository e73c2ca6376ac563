#include "ui/settings_binding.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "ui/qt_text.h"

namespace vt::ui {
namespace {

#define VT_CHECK(page, name, caption)                                                        \
    {                                                                                        \
#name, ControlKind::Check, SettingsPage::page, caption, "", false, &SysConfig::name, \
            &SysConfig::Set##name, nullptr, nullptr, nullptr, nullptr                        \
    }
#define VT_EDIT(page, name, digitsOnly)                                                     \
    {                                                                                       \
#name, ControlKind::Edit, SettingsPage::page, "", "", digitsOnly, nullptr, nullptr, \
            &SysConfig::name, &SysConfig::Set##name, nullptr, nullptr                       \
    }
#define VT_BOX(page, name)                                                                \
    {                                                                                     \
#name, ControlKind::TextBox, SettingsPage::page, "", "", false, nullptr, nullptr, \
            &SysConfig::name, &SysConfig::Set##name, nullptr, nullptr                     \
    }
#define VT_TWO(kind, page, name, first, second)                                               \
    {                                                                                         \
#name, ControlKind::kind, SettingsPage::page, first, second, false, nullptr, nullptr, \
            nullptr, nullptr, &SysConfig::name, &SysConfig::Set##name                         \
    }

const std::vector<SettingControl> kControls = {
    VT_CHECK(Basic, PriceSet5P, "价格小于5元自动更正为5元"),
    VT_CHECK(Basic, DirectSentP, "直接发布（不选择则发布到仓库）"),
    VT_CHECK(Basic, HasFapiaoP, "有发票"),
    VT_CHECK(Basic, HasBaoXiuP, "有保修"),
    VT_CHECK(Basic, CHKIsbnForPicName, "采用ISBN作为图片文件名"),
    VT_CHECK(Basic, CHKNeedNoPicBook, "需要没有图片的图书"),
    VT_CHECK(Basic, CHKNoPicBookData, "独立生成没有图片的数据文件"),
    VT_CHECK(Basic, CHKNoDownPic, "不下载图片（如果只是生成自定义Excel,不需要图片时，才需要打钩）"),
    VT_CHECK(Basic, CHKFiltData, "过滤采集过的数据"),
    VT_CHECK(Basic, DiscripToMobleP, "把商品描述加入到手机端描述"),
    VT_TWO(Radio, Basic, MaidianShezhiP, "使用自定义卖点", "使用采集卖点内容"),
    VT_EDIT(Basic, DiyContentP, false),
    VT_TWO(Radio, Basic, PaixiajiankucunP, "拍下减库存", "付款减库存"),
    VT_CHECK(Basic, RemoveLastKuoHaoP, "去除标题最后一个括号里面的内容"),
    VT_CHECK(Basic, VantrellZiShouP, "只采集Vantrell网自售书"),
    VT_CHECK(Basic, CheckStock, "检查有货没货"),
    VT_CHECK(Basic, CheckByOuterCode, "通过商家编码检查是否已经上传"),
    VT_EDIT(Basic, StartPageFrom, false),
    VT_EDIT(Basic, CaiJiYeShu, true),
    VT_TWO(Radio, Basic, PriceRangeBasis, "图书定价", "售价"),
    VT_EDIT(Basic, PriceRangeFrom, false),
    VT_EDIT(Basic, PriceRangeTo, false),
    VT_EDIT(Basic, RetryCount, true),
    VT_EDIT(Basic, SiteDownFailures, true),
    VT_EDIT(Basic, MaxPageKB, true),
    VT_EDIT(Basic, MaxPictureKB, true),

    VT_CHECK(DataFiles, CHKTaobao, "生成淘宝助理文件"),
    VT_CHECK(DataFiles, CHKTaobao5, "生成淘宝助理5格式"),
    VT_CHECK(DataFiles, CHKEcshop, "生成ecshop数据文件"),
    VT_CHECK(DataFiles, CHKShopex, "生成shopex数据文件"),
    VT_CHECK(DataFiles, CHKExcel, "生成自定义Excel文件"),

    VT_BOX(DefaultContent, DefaultContentText),

    VT_EDIT(TaobaoBase, TitleQianzhuiP, false),
    VT_EDIT(TaobaoBase, TitleHouzhuiP, false),
    VT_CHECK(TaobaoBase, DiyTitleCheckP, "自定义标题内容："),
    VT_EDIT(TaobaoBase, DiyTitleContentP, false),
    VT_EDIT(TaobaoBase, TitleLengthP, true),
    VT_EDIT(TaobaoBase, BookStoreCountP, true),
    VT_EDIT(TaobaoBase, PrivinceP, false),
    VT_EDIT(TaobaoBase, CityP, false),

    VT_TWO(Radio, PriceFreight, YuanJiaDazheP, "原价", "Vantrell售价"),
    VT_EDIT(PriceFreight, PriceDazheP, false),
    VT_TWO(Choice, PriceFreight, JiaJianSign, "+", "-"),
    VT_EDIT(PriceFreight, JiaJian, false),
    VT_EDIT(PriceFreight, ShouJiaDiYu, false),
    VT_EDIT(PriceFreight, EditShouJiMoRen, false),
    VT_EDIT(PriceFreight, EditShouJiaDiYu, false),
    VT_EDIT(PriceFreight, ShouJiaMoRenZhe, false),
    VT_CHECK(PriceFreight, SolderBaoyouP, "采用卖家包邮"),
    VT_TWO(Radio, PriceFreight, StockRule, "区域无货算无货：任一地区无货判断为无货",
           "区域有货算有货：一个地区有货则判断有货"),

    VT_BOX(Description, PrefixText),
    VT_BOX(Description, SuffixText),
    VT_CHECK(Description, TopAddPicP, "在顶部添加图书封面"),
    VT_CHECK(Description, FootAddPicP, "在底部添加图书封面"),

    VT_BOX(FilterKeywords, ForbiddenWordsText),
    VT_BOX(ForbiddenBooks, ForbiddenBooksText),
    VT_BOX(ForbiddenMarks, ForbiddenMarksText),
    VT_BOX(ForbiddenPublishers, ForbiddenPublishersText),
};

#undef VT_CHECK
#undef VT_EDIT
#undef VT_BOX
#undef VT_TWO

QString ToBox(const std::string& gbk) {
    QString text = Q(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string FromBox(QString text) {
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return Gbk(text);
}

}  // namespace

const std::vector<SettingControl>& SettingControls() {
    return kControls;
}

const SettingControl* FindSettingControl(const std::string& key) {
    for (const SettingControl& row : kControls)
        if (key == row.key)
            return &row;
    return nullptr;
}

SettingsBinding::SettingsBinding(SysConfig& config, QWidget* holder)
    : QObject(holder), config_(config) {
    for (const SettingControl& row : kControls) Make(row, holder);
}

void SettingsBinding::Make(const SettingControl& row, QWidget* holder) {
    Controls c;
    SysConfig* config = &config_;
    switch (row.kind) {
        case ControlKind::Check: {
            auto* box = new QCheckBox(QString::fromUtf8(row.caption), holder);
            connect(box, &QCheckBox::toggled, this,
                    [config, set = row.setBool](bool on) { (config->*set)(on); });
            c.widget = box;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(holder);
            if (row.digitsOnly)
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            connect(edit, &QLineEdit::textChanged, this,
                    [config, set = row.setText](const QString& t) { (config->*set)(Gbk(t)); });
            c.widget = edit;
            break;
        }
        case ControlKind::TextBox: {
            auto* box = new QPlainTextEdit(holder);
            connect(box, &QPlainTextEdit::textChanged, this, [config, set = row.setText, box] {
                (config->*set)(FromBox(box->toPlainText()));
            });
            c.widget = box;
            break;
        }
        case ControlKind::Radio: {
            c.group = new QButtonGroup(this);
            auto* first = new QRadioButton(QString::fromUtf8(row.caption), holder);
            c.second = new QRadioButton(QString::fromUtf8(row.caption2), holder);
            c.group->addButton(first, 0);
            c.group->addButton(c.second, 1);
            // A click takes the group's index at once, so that a save writes the last choice.
            connect(c.group, &QButtonGroup::idClicked, this,
                    [config, set = row.setInt](int id) { (config->*set)(id); });
            c.widget = first;
            break;
        }
        case ControlKind::Choice: {
            auto* list = new QComboBox(holder);
            list->addItem(QString::fromUtf8(row.caption));
            list->addItem(QString::fromUtf8(row.caption2));
            connect(list, &QComboBox::currentIndexChanged, this,
                    [config, set = row.setInt](int index) {
                        if (index >= 0)
                            (config->*set)(index);
                    });
            c.widget = list;
            break;
        }
    }
    c.widget->setObjectName(QString::fromLatin1(row.key));
    controls_[row.key] = c;
}

const SettingsBinding::Controls& SettingsBinding::At(const char* key) const {
    return controls_.at(key);
}

QCheckBox* SettingsBinding::check(const char* key) const {
    return qobject_cast<QCheckBox*>(At(key).widget);
}
QLineEdit* SettingsBinding::edit(const char* key) const {
    return qobject_cast<QLineEdit*>(At(key).widget);
}
QRadioButton* SettingsBinding::radio(const char* key, int index) const {
    const Controls& c = At(key);
    return index == 0 ? qobject_cast<QRadioButton*>(c.widget) : c.second;
}
QComboBox* SettingsBinding::choice(const char* key) const {
    return qobject_cast<QComboBox*>(At(key).widget);
}
QPlainTextEdit* SettingsBinding::textBox(const char* key) const {
    return qobject_cast<QPlainTextEdit*>(At(key).widget);
}
QWidget* SettingsBinding::control(const char* key) const {
    return At(key).widget;
}

void SettingsBinding::ShowConfig() {
    for (const SettingControl& row : kControls) ShowValue(row);
}

void SettingsBinding::ShowValue(const SettingControl& row) {
    const Controls& c = At(row.key);
    switch (row.kind) {
        case ControlKind::Check:
            static_cast<QCheckBox*>(c.widget)->setChecked((config_.*row.getBool)());
            break;
        case ControlKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(c.widget);
            const QString text = Q((config_.*row.getText)());
            if (edit->text() != text)
                edit->setText(text);
            break;
        }
        case ControlKind::TextBox: {
            auto* box = static_cast<QPlainTextEdit*>(c.widget);
            // Shown without writing back, so the setting keeps its own line ends.
            const QSignalBlocker quiet(box);
            const QString text = ToBox((config_.*row.getText)());
            if (box->toPlainText() != text)
                box->setPlainText(text);
            break;
        }
        case ControlKind::Radio: {
            const int index = (config_.*row.getInt)();
            if (index == 0 || index == 1) {
                c.group->button(index)->setChecked(true);
            } else {
                // Neither button: an exclusive group cannot clear its last checked one.
                c.group->setExclusive(false);
                for (QAbstractButton* b : c.group->buttons()) b->setChecked(false);
                c.group->setExclusive(true);
            }
            break;
        }
        case ControlKind::Choice: {
            const int index = (config_.*row.getInt)();
            static_cast<QComboBox*>(c.widget)->setCurrentIndex(index == 1 ? 1 : 0);
            break;
        }
    }
}

}  // namespace vt::ui
