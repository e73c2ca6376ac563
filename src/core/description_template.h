// The description template ("模板.html"): read once when the collection panel is made
// and kept for the rest of the run, so edits to the file count from the next start.
#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace vt {

class DescriptionTemplate {
public:
    DescriptionTemplate() : text_(std::make_shared<const std::string>()) {}

    void Set(std::string text) {
        auto fresh = std::make_shared<const std::string>(std::move(text));
        std::lock_guard<std::mutex> lock(mutex_);
        text_ = std::move(fresh);
    }
    // Empty until loaded (and when the file is missing).
    std::shared_ptr<const std::string> Text() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const std::string> text_;
};

}  // namespace vt
