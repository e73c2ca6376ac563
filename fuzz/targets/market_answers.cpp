// The marketplace's answers this program reads: the category suggestion for an ISBN,
// the freight templates, the goods query of the items on sale, the picture upload's
// answer and the publish answer.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/http_client.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "market/category_lookup.h"
#include "market/on_sale_check.h"
#include "market/price_rules.h"
#include "market/publish_form.h"

namespace vt::fuzz {

namespace {

std::vector<std::string> FieldNames(const Fields& fields) {
    std::vector<std::string> names;
    for (const auto& field : fields) names.push_back(field.first);
    return names;
}

std::string FieldValue(const Fields& fields, const std::string& name) {
    for (const auto& field : fields)
        if (field.first == name)
            return field.second;
    return {};
}

}  // namespace

int FuzzMarketAnswers(const std::uint8_t* data, std::size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    ChooseCategory(answer);
    for (const FreightTemplate& entry : ParseFreightTemplates(answer))
        Require(!entry.text.empty() || !entry.value.empty(), "a freight template is not blank");
    for (const std::string& id : OnSaleItemIds(answer))
        Require(!id.empty(), "an item on sale has an id");
    // The publish answer under each result the transport may report.
    static constexpr int kResults[] = {kPostDone,         kPostBadUrl,     kPostFailed,
                                       kPostNoConnection, kPostCannotOpen, kPostTimedOut};
    const int posted = size ? kResults[data[0] % 6] : kPostDone;
    const PublishOutcome outcome = ReadPublishAnswer(posted, answer);
    Require((outcome.kind == PublishOutcome::Taken) ==
                (answer.find("publishItemSuccess") != std::string::npos),
            "only a confirming answer counts as published");
    Require(outcome.kind == PublishOutcome::Taken || !outcome.detail.empty(),
            "a book that was not published says why");
    Require(outcome.kind != PublishOutcome::Refused || (posted == kPostDone && !answer.empty()),
            "only an answer that came whole settles a refusal");
    const std::string url = UploadedPictureUrl(answer);
    Require(url.empty() || answer.find(url) != std::string::npos,
            "a picture address comes from the answer");
    const auto parts = SplitInput(data, size, 2);
    const std::string body = GoodsQueryBody(parts[0], parts[1]);
    const auto fields = UrlEncodedFields(body);
    Require(FieldNames(fields) == FieldNames(UrlEncodedFields(GoodsQueryBody("1", "T"))),
            "no code or token adds, drops or renames a field of the goods query");
    Require(FieldValue(fields, "outId") == parts[0] && FieldValue(fields, "_tb_token_") == parts[1],
            "the outer code and the token arrive as the values given");
    return 0;
}

}  // namespace vt::fuzz
