// The process-wide state of one run: settings, log, databases, hosts, work lists and
// counters, the collection panel and job, the marketplace session and the publishing
// state. The front end makes one and hands it to every worker; a test makes a fresh one
// in a temporary folder.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "base/hosts.h"
#include "base/http_client.h"
#include "base/job_threads.h"
#include "base/log.h"
#include "base/site_health.h"
#include "core/collect_job.h"
#include "core/collection_panel.h"
#include "core/databases.h"
#include "core/description_template.h"
#include "core/filter_words.h"
#include "core/network_record.h"
#include "core/publish_state.h"
#include "core/result_counters.h"
#include "core/session.h"
#include "core/sys_config.h"
#include "core/work_lists.h"

namespace vt {

// Stages that other parts of the program start when a collection job starts.
struct StageHooks {
    // Starts `count` publishing threads through workers(); importVariant: the variant of
    // a codes import.
    std::function<void(int count, bool importVariant)> startPublishers;
};

// The two sites a job talks to.
enum class Site { Store, Market };

class AppContext {
public:
    // appDir: the GBK folder that holds Data, Data/File, DataBase, Log and images.
    explicit AppContext(std::string appDir);
    // Stops the running job and waits for its workers.
    ~AppContext();
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    const std::string& appDir() const { return appDir_; }
    std::string DataDir() const { return appDir_ + "/Data"; }
    std::string DataFileDir() const { return appDir_ + "/Data/File"; }
    std::string DataFilePath(const std::string& name) const { return DataFileDir() + "/" + name; }
    std::string DataBaseDir() const { return appDir_ + "/DataBase"; }
    std::string LogDir() const { return appDir_ + "/Log"; }
    std::string ImagesDir() const { return appDir_ + "/images"; }
    std::string SettingsPath() const { return appDir_ + "/Data/Setting.ini"; }

    Log& log() { return log_; }
    Databases& db() { return db_; }
    SysConfig& config() { return config_; }
    const SysConfig& config() const { return config_; }
    ToCollectList& toCollect() { return toCollect_; }
    CollectedList& collected() { return collected_; }
    ResultCounters& counters() { return counters_; }
    Hosts& hosts() { return hosts_; }
    Session& session() { return session_; }
    CollectionPanel& panel() { return panel_; }
    CollectJob& job() { return job_; }
    JobThreads& workers() { return workers_; }
    // The job's forbidden and filter words, rebuilt at each job start.
    FilterWordLists& filterWords() { return filterWords_; }
    // "模板.html" as loaded when the collection panel was made.
    DescriptionTemplate& descriptionTemplate() { return descriptionTemplate_; }
    PublishState& publishing() { return publishing_; }
    StageHooks& stages() { return stages_; }

    // How the reads of a site go out: the settings' retry count, the retry waits ended by
    // a stop of the job, and every outcome told to the site's health, whose run of
    // failures stops the job (the settings' limit).
    HttpOptions ReadOptions(Site site);
    SiteHealth& health(Site site) { return site == Site::Store ? storeHealth_ : marketHealth_; }
    NetworkRecord& network() { return network_; }
    // A job starts: the sites' records and the network record begin anew.
    void BeginNetworkRecord();
    // The first wait before a retry (it doubles for each further one). Tests and
    // benchmarks against the stand-ins on this machine shorten it.
    void SetRetryDelayMs(int ms) { retryDelayMs_ = ms; }

    // A write in the folder (GBK) failed for the storage itself (full, read-only): every
    // later write there would fail the same way, so the running job stops, as for a site
    // that went away, with the folder and the cause as its reason. Returns that reason.
    std::string StopForStorage(const std::string& folder, WriteError cause);

    // Where texts for a modal message box go; the front end sets it. Unset: dropped.
    void SetMessageSink(std::function<void(const std::string&)> sink);
    void ShowMessage(const std::string& text);

    // A list producer has ended. The third one of the run turns the collecting label into
    // "类目分析完成"; the count is never reset.
    void PostFinishMessage();
    int FinishCount() const { return finishCount_.load(); }

private:
    std::string appDir_;
    Log log_;
    Databases db_;
    SysConfig config_;
    ToCollectList toCollect_;
    CollectedList collected_;
    ResultCounters counters_;
    Hosts hosts_;
    Session session_;
    CollectionPanel panel_;
    CollectJob job_;
    FilterWordLists filterWords_;
    DescriptionTemplate descriptionTemplate_;
    PublishState publishing_;
    StageHooks stages_;
    std::mutex messageMutex_;
    std::function<void(const std::string&)> messageSink_;
    std::atomic<int> finishCount_{0};
    SiteHealth storeHealth_;
    SiteHealth marketHealth_;
    NetworkRecord network_;
    std::atomic<int> retryDelayMs_{500};
    // Last member: destroyed first, after the destructor has stopped and joined the workers.
    JobThreads workers_;
};

}  // namespace vt
