// The two word lists of a job: the forbidden words (a book whose title, ISBN or author
// holds one is dropped) and the filter words (masked in the descriptions). They are
// cut from the settings' boxes when a job starts or codes are imported, and stay fixed
// while the workers read them.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vt {

using WordList = std::vector<std::string>;

class FilterWordLists {
public:
    FilterWordLists();

    // Cuts both boxes at "," (see SplitList): an empty box gives one empty word.
    void Rebuild(const std::string& forbiddenBooksText, const std::string& filterKeywordsText);

    // The lists as last rebuilt; empty before the first rebuild. Readers keep their
    // snapshot even when a rebuild happens meanwhile.
    std::shared_ptr<const WordList> ForbiddenWords() const;
    std::shared_ptr<const WordList> FilterWords() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const WordList> forbidden_;
    std::shared_ptr<const WordList> filter_;
};

}  // namespace vt
