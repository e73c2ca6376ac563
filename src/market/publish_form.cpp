#include "market/publish_form.h"

#include <cstdlib>
#include <ctime>
#include <thread>

#include "base/encoders.h"
#include "base/http_client.h"
#include "base/regex_ops.h"
#include "base/text.h"
#include "core/context.h"
#include "core/session.h"
#include "detail/isbn_check.h"
#include "market/category_lookup.h"
#include "market/image_upload.h"
#include "market/price_rules.h"

namespace vt {
namespace {

// Length of the GBK character that starts at text[i].
std::size_t CharLength(const std::string& text, std::size_t i) {
    return IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// Replaces every occurrence that starts on a character boundary, so a pattern never
// matches across the second byte of a double-byte character.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty())
        return text;
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, from.size(), from) == 0) {
            out += to;
            i += from.size();
        } else {
            std::size_t n = CharLength(text, i);
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string RemoveAll(const std::string& text, const std::string& what) {
    return ReplaceAll(text, what, "");
}

// The integer a setting's text starts with; 0 when it starts with none or is negative.
std::size_t LeadingCount(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    return value > 0 ? static_cast<std::size_t>(value) : 0;
}

// The current time in milliseconds since 1970, as the publish page's script sends it.
std::string NowMillis() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

// The form's fields in the order of first assignment; a later assignment of a name
// replaces its value in place.
class FieldList {
public:
    void Set(const std::string& name, std::string value) {
        for (auto& field : fields_)
            if (field.first == name) {
                field.second = std::move(value);
                return;
            }
        fields_.emplace_back(name, std::move(value));
    }
    FormFields Take() { return std::move(fields_); }

private:
    FormFields fields_;
};

// Failure count: +1 and shown, or (count unchanged) only shown again.
void RaiseFailures(AppContext& ctx) {
    ctx.counters().Increment(CounterBox::PublishFailed);
}
void ShowFailures(AppContext& ctx) {
    ctx.counters().SetNumber(CounterBox::PublishFailed,
                             ctx.counters().Number(CounterBox::PublishFailed));
}

void SetStatus(AppContext& ctx, RowRef row, const std::string& text) {
    ctx.collected().SetCell(row, kMarketStateCol, text);
}

std::string FieldValue(const FormFields& fields, const std::string& name) {
    for (const auto& [n, v] : fields)
        if (n == name)
            return v;
    return {};
}

// A publish answer that settles the outcome without success: the marketplace gave its
// reason, or a whole answer saying the item was not taken. A body cut short, an empty
// one or none at all may have followed an accepted item.
bool IsRefusal(int posted, const std::string& answer, const std::string& detail) {
    if (posted != kPostDone || answer.empty())
        return false;
    if (!detail.empty())
        return true;
    const std::string whole = Trim(answer);
    return whole.find("\"success\":false") != std::string::npos && whole.back() == '}';
}

// The seller's words for a failed write of the product database; a full or read-only
// folder stops the job as well.
std::string StorageCause(AppContext& ctx, WriteOutcome failed) {
    if (IsStorageFault(failed.error))
        ctx.StopForStorage(ctx.DataBaseDir(), failed.error);
    return WriteErrorText(failed.error);
}

// What the row shows for an answer that settled nothing.
std::string UnknownReason(int posted, const std::string& answer) {
    if (posted != kPostDone)
        return answer.empty() ? "code " + std::to_string(posted) : answer;
    return answer.empty() ? "淘宝无应答" : "应答无法识别";
}

}  // namespace

std::string BuildTitle(AppContext& ctx, const O_BookInfo& book) {
    const SysConfig& config = ctx.config();
    const std::size_t max = LeadingCount(config.TitleLengthP());
    const std::string prefix = config.TitleQianzhuiP();
    const std::string suffix = config.TitleHouzhuiP();

    std::string title;
    if (config.DiyTitleCheckP()) {
        title = config.DiyTitleContentP();
        title = ReplaceAll(title, "[shuming]", book.BookName);
        title = ReplaceAll(title, "[isbn]", book.ISBN);
        title = ReplaceAll(title, "[zuozhe]", book.Author);
        title = ReplaceAll(title, "[chubanshe]", book.PressName);
        title = ReplaceAll(title, "[chubanriqi]", book.PressDate);
        if (title.size() > max)
            title = GbkPrefix(title, max);
        title = RemoveAll(title, "?");
    } else {
        title = RemoveAll(book.BookName, "?");
        if (title.size() > max)
            return GbkPrefix(title, max);
    }
    if ((prefix + title).size() < max)
        title = prefix + title;
    if ((title + suffix).size() < max)
        title += suffix;
    return title;
}

std::string BuildPublishItem(AppContext& ctx, const O_BookInfo& book, PublishItem& item) {
    if (book.MarketPrice.empty())
        return "价格为空，上传失败";
    const SysConfig& config = ctx.config();
    item.Price = FormatPrice(ComputePrice(config, book));
    item.Title = BuildTitle(ctx, book);
    item.Description = book.Description;
    item.ISBN = book.ISBN;
    item.Quantity = config.BookStoreCountP();
    item.Author = book.Author;
    item.PressName = book.PressName;
    item.PressDate = book.PressDate;
    item.MarketPrice = book.MarketPrice;
    item.SubTitle = RemoveAll(
        config.MaidianShezhiP() == kCustomSellingPoint ? config.DiyContentP() : book.HeadTitle,
        "&nbsp;");
    item.LocalImageFileName = book.LocalImageFileName;
    item.BookName = book.BookName;
    item.MobileDescription = book.MobileDescription;
    item.OuterCode = book.OuterCode;
    return {};
}

std::string ScrapePublishKeys(const std::string& page, std::string& token, std::string& beginTime,
                              std::string& itemNumber) {
    if (RegexAll(page, "<input type=\"hidden\" name=\"_fma.pu._0.i\" value=\"(.*?)\" />").empty())
        return {};
    token = RegexAll(page, "<input name='_tb_token_' type='hidden' value='(.*?)'>");
    if (token.empty())
        return {};
    beginTime = RegexAll(page,
                         "<input type=\"hidden\" name=\"sellerActionBeginTime\" id = "
                         "\"sellerActionBeginTime\" value=\"(.*?)\" />");
    if (beginTime.empty())
        return {};
    itemNumber =
        RegexAll(page, "<input type=\"hidden\" name=\"_fma.pu._0.auc\" value=\"(.*?)\" />");
    return itemNumber;
}

FormFields BuildPublishFields(AppContext& ctx, const PublishItem& item) {
    const SysConfig& config = ctx.config();
    const bool forSale = config.DirectSentP();
    const std::string now = NowMillis();
    const std::string shortName =
        item.BookName.size() > 30 ? GbkPrefix(item.BookName, 28) : item.BookName;
    // A text that is no ISBN could add or bend fields; the book then counts as one
    // without an ISBN.
    const std::string isbn = CheckedIsbn(item.ISBN);
    std::string isbnProperty = isbn;
    if (isbn.empty() || item.ISBN == item.OuterCode) {
        // A book without an ISBN of its own carries the last published one.
        isbnProperty = CheckedIsbn(ctx.publishing().LastIsbn());
        if (isbnProperty.empty())
            isbnProperty = "9787504213372";
    }
    const std::string cdnPrefix = ctx.hosts().Url(HostRole::MarketImageCdn, "/imgextra/");

    FieldList f;
    f.Set("_tb_token_", item.TbToken);
    f.Set("action", "upload/uploadAction");
    f.Set("isMImageUser", "true");
    f.Set("sellerActionBeginTime", item.SellerActionBeginTime);
    f.Set("publishPageCostTime", now);
    f.Set("browserTime", "");
    f.Set("J_BySearch", "1");
    f.Set("J_SearchKey", isbn);
    f.Set("J_ByLateCategory", "");
    f.Set("J_ByCategorySystem", "");
    f.Set("_fma.pu._0.ca", item.CategoryId);
    f.Set("_fma.pu._0.i", item.PageKey);
    f.Set("_fma.pu._0.auc", item.ItemNumber);
    f.Set("itemNumId", item.ItemNumber);
    f.Set("_fma.pu._0.cat", "");
    f.Set("_fma.pu._0.x", "");
    f.Set("_fma.pu._0.ed", "false");
    f.Set("isEdit", "false");
    f.Set("noticeParam", "");
    f.Set("oldCat", "");
    f.Set("_fma.pu._0.fi", "");
    f.Set("_fma.pu._0.au", "");
    f.Set("_fma.pu._0.fr", "");
    f.Set("_fma.pu._0.sho", "");
    f.Set("_fma.pu._0.isn", "false");
    f.Set("_fma.pu._0.isol", "false");
    f.Set("_fma.pu._0.ish", "false");
    f.Set("catName", "图书");
    f.Set("selPPay", "");
    f.Set("certType", "");
    f.Set("isZFBCertificatedUser", "");
    f.Set("mainCategoryId", "33");
    f.Set("_fma.pu._0.sp", "");
    f.Set("_fma.pu._0.isb", "false");
    f.Set("_fma.pu._0.a", "b");
    f.Set("_fma.pu._0.pa", "1");
    f.Set("_fma.pu._0.b", item.Price);
    f.Set("_fma.pu._0.secure", "1");
    f.Set("_fma.pu._0.iss", "");
    f.Set("isCodFlag", "");
    f.Set("ccSn", "");
    f.Set("ccIssuerDn", "");
    f.Set("ccSignedData", "");
    f.Set("userInnerShopId", "139951877");
    f.Set("userOuterShopId", "");
    f.Set("userInnerShopSiteId", "4");
    f.Set("userOuterShopSiteId", "");
    f.Set("wirelessmpChoosed", "");
    f.Set("isSellingLightningConsignment", "");
    f.Set("lightningConsignment2", "");
    f.Set("spuStoreId", "");
    f.Set("_fma.pu._0.ta", "false");
    f.Set("newProductTagId", "0");
    f.Set("isFirst", "true");
    f.Set("tfsname", ReplaceAll(item.ImageUrl, cdnPrefix, ""));
    f.Set("_fma.pu._0.rel", "");
    f.Set("isLocalityLifeEtcItem", "");
    f.Set("isCustoemdSkuForbidDpcAuction", "false");
    f.Set("customCatId", "");
    f.Set("customCatName", "");
    f.Set("distributionPageString", "");
    f.Set("isReselectCat", "");
    f.Set("isNeedCheckPictureCat", "false");
    f.Set("paymentSeting", "");
    f.Set("forceUpdateWhenFakeCredit", "");
    f.Set("wapDescEnable", "");
    f.Set("_fma.pu._0.stu", "5");
    f.Set("auctionTypeInfoPrint",
          "editaVlue=false;canPublishNew=true;isOnlySecond=false;isRestAuction=;"
          "isBookStartLimit=false;isAcousticsLimit=false;isPrepayLimitCatAndSeller=false;"
          "is3GCatCanNewForSeller=;canPublishAlcoholNew=;noAgreement=;noPrepay=;shopSeller=true;"
          "isSellerShopeEnable=true;isShopRelease=;");
    f.Set("_fma.pu._0.auctio", "1166642337");
    f.Set("cp_2043183", shortName);
    f.Set("cp_1636953", isbnProperty);
    f.Set("cp_122216545", "");
    f.Set("cp_46602357", shortName);
    f.Set("cp_46398806", item.MarketPrice);
    f.Set("cp_122216620", item.PressName);
    f.Set("cp_2043193", item.PressDate);
    f.Set("cp_2043189", item.Author);
    f.Set("cp_18821503", "");
    f.Set("cp_46394856", "");
    f.Set("cp_46412378", "");
    f.Set("cp_122216357", "");
    f.Set("_fma.pu._0.ti", item.Title);
    f.Set("subTitle", RemoveAll(item.SubTitle, "已售"));
    f.Set("_fma.pu._0.pay", "");
    f.Set("_fma.pu._0.payv", "1");
    f.Set("_fma.pu._0.m", item.Price);
    f.Set("_fma.pu._0.q", item.Quantity);
    f.Set("is_global_stock", "false");
    f.Set("gs_type", "2");
    f.Set("_fma.pu._0.ou", item.OuterCode);
    f.Set("itemBarCode", "");
    f.Set("gs_country", "");
    f.Set("videoAsPicThum", "");
    f.Set("videoAsPicId", "");
    f.Set("videoAsPicDuration", "");
    f.Set("pisAsVideoStatus", "");
    for (int i = 1; i <= 5; ++i) {
        f.Set("image_pos", std::to_string(i));
        f.Set("picUrl" + std::to_string(i), item.ImageUrl);
    }
    f.Set("_fma.pu._0.sw", "");
    f.Set("handleAuctionModule", "false");
    f.Set("modularizedArea", "");
    // Sent as built: the text from the page is escaped there, and decoding "&lt;" here
    // would turn it back into markup.
    f.Set("_fma.pu._0.d", item.Description);
    f.Set("state", "");
    f.Set("_fma.pu._0.wi", config.DiscripToMobleP() ? item.MobileDescription : std::string());
    f.Set("_fma.pu._0.pc", "0");
    f.Set("_fma.pu._0.w", "0");
    f.Set("pcTspeditorCid", "");
    f.Set("wlTspeditorCid", "");
    f.Set("itemNumId", item.ItemNumber);
    f.Set("_fma.pu._0.sh", "");
    f.Set("_fma.pu._0.she", "");
    f.Set("_fma.pu._0.shen", "");
    f.Set("shenbiPcDescHashCode", "");
    f.Set("shenbiWlDescHashCode", "");
    f.Set("pcDescbackupEnable", "false");
    f.Set("wlDescbackupEnable", "false");
    f.Set("isShowShenbiEditor", "false");
    f.Set("shopCat", "");
    f.Set("_fma.pu._0.aut", "false");
    f.Set("_fma.pu._0.auto", "");
    f.Set("_fma.pu._0.autoc", "");
    f.Set("_fma.pu._0.po", config.SelectedFreightTemplate());
    f.Set("field-129", "");
    f.Set("field-128", "");
    f.Set("_fma.pu._0.ha", config.HasFapiaoP() ? "1" : "0");
    f.Set("_fma.pu._0.hav", config.HasBaoXiuP() ? "1" : "0");
    f.Set("_fma.pu._0.sel", "1");
    f.Set("new_prepay_tag", "0");
    f.Set("_fma.pu._0.isop", "false");
    f.Set("_fma.pu._0.su", "0");
    f.Set("_fma.pu._0.du", "7");
    f.Set("_fma.pu._0.sta", "");
    f.Set("_fma.pu._0.auct", forSale ? "0" : "-5");
    f.Set("_now", forSale ? "0" : "2");
    f.Set("_fma.pu._0.prom", "1");
    f.Set("event_submit_do_publish", "anything");
    f.Set("stamp", NowMillis());
    f.Set("type", "submit");
    f.Set("submitType", "ajax");
    return f.Take();
}

std::string UploadedPictureUrl(const std::string& answer) {
    return RegexFirst(answer, "{\"result\":true,\"url\":\"(.*?)\"}");
}

PublishOutcome ReadPublishAnswer(int posted, const std::string& answer) {
    if (answer.find("publishItemSuccess") != std::string::npos)
        return {PublishOutcome::Taken, {}};
    const std::string detail = RegexFirst(answer, "\"detail\":\"(.*?)\",");
    if (IsRefusal(posted, answer, detail))
        // A refusal without the shop's words still says what happened.
        return {PublishOutcome::Refused, detail.empty() ? "淘宝拒绝发布，未说明原因" : detail};
    // The row says what the transport reported.
    return {PublishOutcome::Unknown, "发布结果未知（" + UnknownReason(posted, answer) + "）"};
}

bool PublishOne(AppContext& ctx, PublishItem& item, RowRef row, const std::string& cookie) {
    const PageResult sellRead =
        MarketRead(ctx.hosts().Url(HostRole::MarketUpload, "/auction/sell.jhtml"), cookie,
                   ctx.ReadOptions(Site::Market));
    const std::string& sellPage = sellRead.text;
    if (sellRead.Failed()) {
        // A server error or a lost connection says nothing about the login: the book fails
        // with the cause and the login stays as it is.
        SetStatus(ctx, row, "失败：卖家页面读取失败（" + sellRead.error + "）");
        RaiseFailures(ctx);
        return false;
    }
    if (sellPage.find("卖家中心") == std::string::npos) {
        ctx.session().MarkLoginLapsed();
        ShowFailures(ctx);
        return false;
    }

    std::string token, beginTime, itemNumber;
    const std::string pageKey = ScrapePublishKeys(sellPage, token, beginTime, itemNumber);
    if (pageKey.empty()) {
        SetStatus(ctx, row, "未登陆淘宝网,或登陆失效，请登陆");
        RaiseFailures(ctx);
        ctx.session().MarkLoginLapsed();
        return false;
    }
    item.PageKey = Trim(pageKey);
    item.TbToken = Trim(token);
    item.SellerActionBeginTime = Trim(beginTime);
    item.ItemNumber = Trim(itemNumber);

    // The category is looked up by a well-formed ISBN only; otherwise the last one is used.
    const std::string isbn = CheckedIsbn(item.ISBN);
    if (!isbn.empty())
        item.CategoryId = Trim(QueryCategory(ctx, isbn, item.TbToken, cookie));
    if (item.CategoryId.empty())
        item.CategoryId = ctx.publishing().LastCategoryId();

    std::string uploadAnswer;
    const int uploaded = MarketUploadImage(uploadAnswer, item, cookie, ctx.hosts());
    if (uploaded != kPostDone) {
        // The transport's "dwError = N" is no picture address: an item sent on with it would
        // have no cover. The upload is not sent again (a lost answer may hide a stored picture).
        SetStatus(ctx, row, "失败：图片上传失败（" + uploadAnswer + "）");
        RaiseFailures(ctx);
        return false;
    }
    if (uploadAnswer.empty()) {
        SetStatus(ctx, row, "图片地址为空上传失败");
        RaiseFailures(ctx);
        return false;
    }
    item.ImageUrl = UploadedPictureUrl(uploadAnswer);

    FormFields fields = BuildPublishFields(ctx, item);
    // A fresh boundary per form; a value that holds it (or a zero byte) is never sent, as
    // the body would then carry other fields than the ones built here.
    const std::string boundary = NewMultipartBoundary();
    const std::string body = BuildMultipartBody(fields, boundary);
    if (body.empty()) {
        const auto* unsafe = UnsafeMultipartField(fields, boundary);
        SetStatus(ctx, row, "失败：商品信息含有无法安全发送的内容，未发布");
        RaiseFailures(ctx);
        ctx.log().WriteLog("未发布：字段" + (unsafe ? unsafe->first : std::string()) +
                           "含有表单分隔符或空字符:" + item.OuterCode);
        return false;
    }
    // Written before the form leaves: an answer lost after the shop took the item, or a
    // process killed while it waits, must not let a later attempt post the book again
    // before the shop has been asked.
    const std::string code = Trim(item.OuterCode);
    if (!code.empty()) {
        const WriteOutcome journal = ctx.db().MarkPublishInFlight(
            {code, {}, SellerNickname(cookie), FieldValue(fields, "_fma.pu._0.auct") == "0"});
        if (!journal) {
            SetStatus(ctx, row, "失败：无法写入发布记录（" + StorageCause(ctx, journal) + "）");
            RaiseFailures(ctx);
            return false;
        }
    }
    std::string answer;
    const int posted = MarketPostPublish(body, boundary, answer, cookie, ctx.hosts(),
                                         ctx.ReadOptions(Site::Market).Once());
    const PublishOutcome outcome = ReadPublishAnswer(posted, answer);
    if (outcome.kind == PublishOutcome::Taken) {
        // Only a well-formed ISBN is carried on to books without one.
        ctx.publishing().RecordSuccess(item.CategoryId,
                                       isbn.empty() ? ctx.publishing().LastIsbn() : isbn);
        const WriteOutcome recorded = ctx.db().RecordPublished(code, item.ItemNumber);
        if (!recorded) {
            // The shop holds the item but this account's database does not know it: the
            // journal entry stays, and the next attempt asks the shop before posting.
            SetStatus(ctx, row,
                      "失败：已发布但无法记录（" + StorageCause(ctx, recorded) +
                          "），发布结果未知，下次上传前先查询店铺");
            RaiseFailures(ctx);
            return false;
        }
        ctx.counters().Increment(CounterBox::Published);
        SetStatus(ctx, row, "上传成功");
        return true;
    }

    // A refused item is not in the shop; one of unknown outcome may be, so its entry stays
    // until the shop is asked. An entry that cannot be dropped only makes the next attempt
    // ask the shop first.
    if (outcome.kind == PublishOutcome::Refused) {
        if (const WriteOutcome cleared = ctx.db().ClearPublishEntry(code); !cleared)
            StorageCause(ctx, cleared);
    }
    const std::string& detail = outcome.detail;
    SetStatus(ctx, row, "失败：" + detail);
    RaiseFailures(ctx);
    ctx.log().WriteLog("上传失败" + detail + ":" + item.OuterCode + ",ISBN" + item.ISBN +
                       ",描述：" + answer);
    return false;
}

}  // namespace vt
