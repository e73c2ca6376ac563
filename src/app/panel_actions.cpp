#include "app/panel_actions.h"

#include "app/collect_job_start.h"
#include "collect/category_fetch.h"
#include "core/context.h"
#include "market/login_checks.h"

namespace vt {

void ChooseMode(AppContext& ctx, CollectMode mode) {
    if (mode == CollectMode::None)
        return;
    CollectionPanel& panel = ctx.panel();
    panel.SetMode(mode);
    panel.tree().Clear();
    panel.tree().SetEnabled(mode == CollectMode::Category);
    panel.SetInputEnabled(CollectInput::Title, mode == CollectMode::Title);
    panel.SetInputEnabled(CollectInput::Author, mode == CollectMode::Author);
    panel.SetInputEnabled(CollectInput::Publisher, mode == CollectMode::Publisher);
    panel.SetInputEnabled(CollectInput::PromoAddress, mode == CollectMode::Promo);
    if (mode == CollectMode::Category)
        LoadTopCategories(ctx, panel.tree());
}

void OpenCategoryNode(AppContext& ctx, int node) {
    ExpandCategory(ctx, ctx.panel().tree(), node);
}

bool PressStart(AppContext& ctx) {
    return StartCollection(ctx);
}

void PressStop(AppContext& ctx) {
    ctx.panel().PressStop();
}

bool TestLogin(AppContext& ctx) {
    return CheckLogin(ctx);
}

}  // namespace vt
