#include "app/startup.h"

#include "app/data_files.h"
#include "app/list_editors.h"
#include "core/context.h"
#include "core/settings_store.h"
#include "detail/description.h"

namespace vt {

std::vector<SettingProblem> StartUp(AppContext& ctx) {
    // Every module's message box goes to the one sink the front end sets.
    ctx.db().SetMessageHandler([&ctx](const std::string& m) { ctx.ShowMessage(m); });
    ctx.session().SetMessageHandler([&ctx](const std::string& m) { ctx.ShowMessage(m); });
    // The collection panel is created first and reads the template; then the settings
    // dialog loads the settings file and opens the filter database.
    LoadDescriptionTemplate(ctx);
    std::vector<SettingProblem> problems = LoadSettings(ctx);
    ctx.db().OpenFilterDb();
    LoadListEditors(ctx);
    // A collection job starts its publishing threads through this; the last one to end
    // writes the job's data files.
    ctx.stages().startPublishers = [&ctx](int count, bool importVariant) {
        StartPublishersWithDataFiles(ctx, count, importVariant);
    };
    return problems;
}

}  // namespace vt
