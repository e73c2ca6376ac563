// The seller's persistent lists: Filter.db (forbidden marks and publishers, the two word
// lists of the settings pages) and one product database per marketplace account (what was
// published, so later jobs skip it, and which publishes have an unknown outcome). Text is
// stored as UTF-8; callers speak GBK.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/files.h"

struct sqlite3;

namespace vt {

// One SQLite connection in serialized mode, closed with the object. A connection that
// could not be opened stays an object whose statements all fail.
class Database {
public:
    // utf8Path: the file as SQLite takes it; created when missing.
    explicit Database(const std::string& utf8Path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool IsOpen() const { return db_ != nullptr; }

    // Runs the (UTF-8) statement; false when it failed.
    bool Exec(const std::string& sql);
    // The same with SQLite's result code (SQLITE_OK on success; SQLITE_FULL for a full disk).
    int ExecCode(const std::string& sql);
    // Number of result rows of the select; 0 when it fails or the connection is not open.
    int CountRows(const std::string& select);
    // The first column of every result row (UTF-8, NULL as empty); empty on failure.
    std::vector<std::string> QueryColumn(const std::string& select);
    // True when the select with one "?" finds a row for the (UTF-8) value. The value is
    // bound, never spliced into the statement. False on failure.
    bool HasRow(const char* select, const std::string& value);
    // Runs the statement with its "?" bound to the (UTF-8) values in order; false on failure.
    bool ExecBound(const char* sql, const std::vector<std::string>& values);
    // The same with SQLite's result code: SQLITE_DONE on success.
    int ExecBoundCode(const char* sql, const std::vector<std::string>& values);
    // Every result row of the select with its "?" bound to the values, each row as its
    // columns' text (UTF-8, NULL as empty); empty on failure.
    std::vector<std::vector<std::string>> QueryBound(const char* select,
                                                     const std::vector<std::string>& values);
    struct BoundStatement {
        const char* sql;
        std::vector<std::string> values;
    };
    // The bound statements as one step, all or nothing, as ExecAtomically.
    bool ExecBoundAtomically(const std::vector<BoundStatement>& statements);
    // The same with SQLite's result code: SQLITE_OK when the step was committed.
    int ExecBoundAtomicallyCode(const std::vector<BoundStatement>& statements);
    // Runs the statements as one step: no other thread's statement on this connection, and
    // no other connection, sees the state between them. All or nothing: when one fails the
    // step is rolled back and the result is false.
    bool ExecAtomically(const std::vector<std::string>& statements);

private:
    // Runs the steps (SQLITE_OK when each went through) inside one transaction under the
    // connection's mutex; all or nothing. The result code of the first failure.
    int InOneStep(const std::function<int()>& steps);
    sqlite3* db_ = nullptr;
};

// Row count through a handle that may be missing (not opened yet): 0 then.
int CountRows(const std::shared_ptr<Database>& db, const std::string& select);

// A publish whose outcome is not known: the form was (about to be) posted and no clear
// answer came back. All text GBK.
struct UnknownPublish {
    std::string outerCode;  // trimmed
    std::string since;      // local time of the post, "YYYY-MM-DD HH:MM:SS"
    std::string nick;       // the account that posted; empty when its cookie named none
    bool forSale = true;    // false: the item would have gone to the warehouse
};

// The four lists the list editors rewrite whole.
enum class ListTable { ForbidBiaoZhi, ForbidCBS, FilterBooks, ForbidBooks };

// The process-wide FilterDb and ProductDb handles. Reopening swaps in a fresh connection;
// a thread still working with the previous one keeps it alive until it is done.
class Databases {
public:
    // dataBaseDir: GBK path of the DataBase folder, without a trailing separator.
    explicit Databases(std::string dataBaseDir);
    ~Databases();
    Databases(const Databases&) = delete;
    Databases& operator=(const Databases&) = delete;

    // Where "创建db库失败！" goes; the front end shows it. Unset: ignored.
    void SetMessageHandler(std::function<void(const std::string&)> onMessage);

    // Opens (creating when missing) Filter.db and its tables; false when it cannot be opened.
    bool OpenFilterDb();
    // Opens the product database of the account nick (the file is the nick percent-encoded
    // as UTF-8, then ".db"); later lookups and records use it.
    bool OpenProductDb(const std::string& nick);

    // Current handles; null before the first open.
    std::shared_ptr<Database> FilterDb() const;
    std::shared_ptr<Database> ProductDb() const;

    // Every value of a single-column select on FilterDb, in GBK, each followed by ",".
    std::string QueryColumnList(const std::string& select) const;

    // Lookups by the trimmed value; false when nothing matches or the handle is unusable.
    bool IsForbiddenMark(std::string_view mark) const;
    bool IsForbiddenPublisher(std::string_view publisher) const;
    bool IsPublished(std::string_view outerCode) const;

    // Records a published book in ProductDb (outer code trimmed) and, in the same step,
    // drops its unknown-outcome entry. When that step fails the record alone is tried: the
    // result says whether the record is in (an entry left behind is settled by the
    // record the next time the book comes).
    WriteOutcome RecordPublished(std::string_view outerCode, std::string_view tb);
    // The item id recorded for the book (the newest that has one); empty when none.
    std::string PublishedItemId(std::string_view outerCode) const;

    // The publish journal of ProductDb: books whose publish is in flight or whose answer
    // was lost, so that no later attempt posts them again before the shop is asked.
    // Marks the book as posted now (replacing an older entry); nothing may be posted
    // unless this succeeded.
    WriteOutcome MarkPublishInFlight(const UnknownPublish& entry);
    // Drops the entry: the marketplace's answer settled the outcome.
    WriteOutcome ClearPublishEntry(std::string_view outerCode);
    bool IsPublishUnknown(std::string_view outerCode) const;
    std::optional<UnknownPublish> FindUnknownPublish(std::string_view outerCode) const;
    // Every entry of a book without a record, oldest first.
    std::vector<UnknownPublish> UnknownPublishes() const;

    // The editors' save: the table is emptied and refilled with the pieces of the comma
    // list, all or nothing. False (the old list kept whole) when the rewrite failed.
    bool ReplaceList(ListTable table, std::string_view text);
    // Adds one mark without touching the others; false when not written.
    bool AddForbiddenMark(std::string_view mark);

private:
    std::shared_ptr<Database> Open(const std::string& fileName,
                                   const std::vector<const char*>& createStatements,
                                   const std::vector<const char*>& indexStatements);
    void Report(const std::string& message) const;

    std::string dir_;
    mutable std::mutex mutex_;  // guards the two handles and the message handler
    std::shared_ptr<Database> filterDb_;
    std::shared_ptr<Database> productDb_;
    std::function<void(const std::string&)> onMessage_;
};

}  // namespace vt
