// The marketplace's category tree as far as books go, and the category service's
// answers to a keyword (an ISBN).
#pragma once

#include <string>

#include "sim/market_sim.h"

namespace vt::sim {

// The answer an ISBN gets when none is fixed for it: mostly a new-book category, now
// and then one of the awkward answers, always the same for the same ISBN.
CategoryAnswer DefaultCategoryAnswer(const std::string& isbn);

// The answer body (GBK) of that kind for that ISBN.
std::string CategoryAnswerText(CategoryAnswer answer, const std::string& isbn);

// True for every category id the service can hand out; an item needs one of them.
bool IsKnownCategory(const std::string& sid);

}  // namespace vt::sim
