#include "core/filter_words.h"

#include "base/split_list.h"

namespace vt {

FilterWordLists::FilterWordLists()
    : forbidden_(std::make_shared<const WordList>()), filter_(std::make_shared<const WordList>()) {}

void FilterWordLists::Rebuild(const std::string& forbiddenBooksText,
                              const std::string& filterKeywordsText) {
    auto forbidden = std::make_shared<const WordList>(SplitList(forbiddenBooksText, ','));
    auto filter = std::make_shared<const WordList>(SplitList(filterKeywordsText, ','));
    std::lock_guard<std::mutex> lock(mutex_);
    forbidden_ = std::move(forbidden);
    filter_ = std::move(filter);
}

std::shared_ptr<const WordList> FilterWordLists::ForbiddenWords() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return forbidden_;
}

std::shared_ptr<const WordList> FilterWordLists::FilterWords() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return filter_;
}

}  // namespace vt
