#include "core/databases.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include "base/encoders.h"
#include "base/files.h"
#include "base/split_list.h"
#include "base/text.h"

namespace vt {

namespace {

// A second connection to the same file (an old handle still in use after a reopen) may
// hold the lock for a moment; wait for it instead of losing the statement.
constexpr int kBusyWaitMs = 5000;

constexpr const char* kPragma = "PRAGMA synchronous=OFF;";

const std::vector<const char*> kFilterTables = {
    "CREATE TABLE IF NOT EXISTS ForbidBooks(ID INTEGER PRIMARY KEY,BookName VARCHAR(50));",
    "CREATE TABLE IF NOT EXISTS ForbidBiaoZhi(ID INTEGER PRIMARY KEY,BiaoZhi VARCHAR(50));",
    "CREATE TABLE IF NOT EXISTS ForbidCBS(ID INTEGER PRIMARY KEY,CBS VARCHAR(50));",
    "CREATE TABLE IF NOT EXISTS FilterBooks(ID INTEGER PRIMARY KEY,BookName VARCHAR(50));",
};

// PublishJournal is created in files made before it existed too: the CREATE runs on
// every open. A CREATE that fails (a full disk) leaves the database unusable.
const std::vector<const char*> kProductTables = {
    "CREATE TABLE IF NOT EXISTS ProductData(ID INTEGER PRIMARY KEY,VT VARCHAR(50),TB VARCHAR(30));",
    "CREATE TABLE IF NOT EXISTS PublishJournal(VT VARCHAR(50) PRIMARY KEY,Since VARCHAR(20),"
    "Nick VARCHAR(50),ForSale INTEGER);",
};

constexpr const char* kInsertPublished = "INSERT INTO ProductData (VT, TB) VALUES (?, ?)";
constexpr const char* kDeleteJournalEntry = "DELETE FROM PublishJournal WHERE VT=?";
constexpr const char* kJournalColumns = "select VT, Since, Nick, ForSale from PublishJournal";

// The looked-up columns get an index, also in databases made before it existed: the
// published check runs several times per book and the table grows with every job, so a
// scan of the whole table would make every book slower than the last.
const std::vector<const char*> kFilterIndexes = {
    "CREATE INDEX IF NOT EXISTS ForbidBiaoZhiByMark ON ForbidBiaoZhi(BiaoZhi);",
    "CREATE INDEX IF NOT EXISTS ForbidCBSByName ON ForbidCBS(CBS);",
};

const std::vector<const char*> kProductIndexes = {
    "CREATE INDEX IF NOT EXISTS ProductDataByVT ON ProductData(VT);",
};

struct ListStatements {
    const char* del;
    const char* insert;
};

ListStatements StatementsOf(ListTable table) {
    switch (table) {
        case ListTable::ForbidBiaoZhi:
            return {"Delete from ForbidBiaoZhi", "INSERT INTO ForbidBiaoZhi (BiaoZhi) VALUES (?)"};
        case ListTable::ForbidCBS:
            return {"Delete from ForbidCBS", "INSERT INTO ForbidCBS (CBS) VALUES (?)"};
        case ListTable::FilterBooks:
            return {"Delete from FilterBooks", "INSERT INTO FilterBooks (BookName) VALUES (?)"};
        case ListTable::ForbidBooks:
            return {"Delete from ForbidBooks", "INSERT INTO ForbidBooks (BookName) VALUES (?)"};
    }
    return {"", ""};
}

// What a failed statement's result code says about the storage.
WriteError WriteErrorOfSqlite(int rc) {
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return WriteError::None;
        case SQLITE_FULL:
            return WriteError::NoSpace;
        case SQLITE_READONLY:
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return WriteError::NotWritable;
        default:
            return WriteError::Refused;
    }
}

WriteOutcome OutcomeOf(int rc) {
    return {WriteErrorOfSqlite(rc)};
}

// The product database's file name for a nick: the nick as UTF-8, letters and digits kept,
// a space as "+", any other ASCII byte as "%XX", and a byte of 0x80 or above starting a
// group of three bytes written as three "%XX" forms. Nothing of the nick can reach the
// path as a separator or a dot.
std::string EncodeNickForFileName(std::string_view nick) {
    return UrlEncodeUtf8(std::string(nick));
}

}  // namespace

// --- Database ---

Database::Database(const std::string& utf8Path) {
    // A new database file is the seller's alone; SQLite gives its journal the same mode.
    struct stat st {};
    const bool existed = stat(utf8Path.c_str(), &st) == 0;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(utf8Path.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    if (!existed)
        KeepPrivate(utf8Path, false);
    sqlite3_busy_timeout(db, kBusyWaitMs);
    db_ = db;
}

Database::~Database() {
    if (db_)
        sqlite3_close(db_);
}

bool Database::Exec(const std::string& sql) {
    return ExecCode(sql) == SQLITE_OK;
}

int Database::ExecCode(const std::string& sql) {
    if (!db_)
        return SQLITE_CANTOPEN;
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
}

namespace {

// A prepared statement with its values bound, finalized when it goes.
class Bound {
public:
    Bound(sqlite3* db, const char* sql, const std::vector<std::string>& values) {
        if (!db) {
            prepared_ = SQLITE_CANTOPEN;
            return;
        }
        // A schema that could not be written (a full disk while the tables were made)
        // fails here: its code says so.
        prepared_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
        if (prepared_ != SQLITE_OK) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            return;
        }
        for (std::size_t i = 0; i < values.size(); ++i)
            if (sqlite3_bind_text(stmt_, static_cast<int>(i + 1), values[i].data(),
                                  static_cast<int>(values[i].size()),
                                  SQLITE_TRANSIENT) != SQLITE_OK) {
                sqlite3_finalize(stmt_);
                stmt_ = nullptr;
                return;
            }
    }
    ~Bound() { sqlite3_finalize(stmt_); }
    Bound(const Bound&) = delete;
    Bound& operator=(const Bound&) = delete;
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return stmt_ ? sqlite3_step(stmt_) : prepared_; }
    // The current row's columns as text, NULL as empty.
    std::vector<std::string> Row() const {
        std::vector<std::string> cells;
        const int count = sqlite3_column_count(stmt_);
        for (int i = 0; i < count; ++i) {
            const unsigned char* text = sqlite3_column_text(stmt_, i);
            cells.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
        return cells;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepared_ = SQLITE_ERROR;
};

}  // namespace

bool Database::HasRow(const char* select, const std::string& value) {
    Bound stmt(db_, select, {value});
    return stmt.Step() == SQLITE_ROW;
}

bool Database::ExecBound(const char* sql, const std::vector<std::string>& values) {
    return ExecBoundCode(sql, values) == SQLITE_DONE;
}

int Database::ExecBoundCode(const char* sql, const std::vector<std::string>& values) {
    Bound stmt(db_, sql, values);
    const int rc = stmt.Step();
    return rc == SQLITE_ROW ? SQLITE_DONE : rc;
}

std::vector<std::vector<std::string>> Database::QueryBound(const char* select,
                                                           const std::vector<std::string>& values) {
    std::vector<std::vector<std::string>> rows;
    Bound stmt(db_, select, values);
    int rc = SQLITE_ERROR;
    while ((rc = stmt.Step()) == SQLITE_ROW) rows.push_back(stmt.Row());
    if (rc != SQLITE_DONE)
        rows.clear();
    return rows;
}

int Database::CountRows(const std::string& select) {
    if (!db_)
        return 0;
    char** table = nullptr;
    int rows = 0;
    int cols = 0;
    int rc = sqlite3_get_table(db_, select.c_str(), &table, &rows, &cols, nullptr);
    sqlite3_free_table(table);
    return rc == SQLITE_OK ? rows : 0;
}

std::vector<std::string> Database::QueryColumn(const std::string& select) {
    std::vector<std::string> values;
    if (!db_)
        return values;
    char** table = nullptr;
    int rows = 0;
    int cols = 0;
    if (sqlite3_get_table(db_, select.c_str(), &table, &rows, &cols, nullptr) == SQLITE_OK &&
        cols > 0) {
        // Row 0 holds the column names; each later row has cols cells.
        for (int r = 1; r <= rows; ++r) {
            const char* cell = table[r * cols];
            values.emplace_back(cell ? cell : "");
        }
    }
    sqlite3_free_table(table);
    return values;
}

int Database::InOneStep(const std::function<int()>& steps) {
    if (!db_)
        return SQLITE_CANTOPEN;
    // The connection's own (recursive) mutex keeps the other threads' statements out;
    // the transaction keeps other connections to the file from seeing half a rewrite, and
    // a failed statement rolls the whole step back instead of leaving half a list.
    sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
    sqlite3_mutex_enter(mutex);
    int rc = ExecCode("BEGIN IMMEDIATE;");
    if (rc == SQLITE_OK)
        rc = steps();
    if (rc == SQLITE_OK)
        rc = ExecCode("COMMIT;");
    // A failed COMMIT (the disk filled while the pages were written) may leave the
    // transaction open: it is rolled back, never left to a later statement's commit.
    if (rc != SQLITE_OK && !sqlite3_get_autocommit(db_))
        Exec("ROLLBACK;");
    sqlite3_mutex_leave(mutex);
    return rc;
}

bool Database::ExecAtomically(const std::vector<std::string>& statements) {
    return InOneStep([&] {
               for (const std::string& statement : statements)
                   if (const int rc = ExecCode(statement); rc != SQLITE_OK)
                       return rc;
               return SQLITE_OK;
           }) == SQLITE_OK;
}

bool Database::ExecBoundAtomically(const std::vector<BoundStatement>& statements) {
    return ExecBoundAtomicallyCode(statements) == SQLITE_OK;
}

int Database::ExecBoundAtomicallyCode(const std::vector<BoundStatement>& statements) {
    return InOneStep([&] {
        for (const BoundStatement& statement : statements)
            if (const int rc = ExecBoundCode(statement.sql, statement.values); rc != SQLITE_DONE)
                return rc;
        return SQLITE_OK;
    });
}

int CountRows(const std::shared_ptr<Database>& db, const std::string& select) {
    return db ? db->CountRows(select) : 0;
}

// --- Databases ---

Databases::Databases(std::string dataBaseDir) : dir_(std::move(dataBaseDir)) {}

Databases::~Databases() = default;

void Databases::SetMessageHandler(std::function<void(const std::string&)> onMessage) {
    std::lock_guard lock(mutex_);
    onMessage_ = std::move(onMessage);
}

void Databases::Report(const std::string& message) const {
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard lock(mutex_);
        handler = onMessage_;
    }
    if (handler)
        handler(message);
}

std::shared_ptr<Database> Databases::Open(const std::string& fileName,
                                          const std::vector<const char*>& createStatements,
                                          const std::vector<const char*>& indexStatements) {
    auto db = std::make_shared<Database>(NativePath(dir_ + "/" + fileName));
    db->Exec(kPragma);
    if (!db->IsOpen()) {
        Report("创建db库失败！");
        return db;
    }
    bool created = true;
    for (const char* sql : createStatements) created = db->Exec(sql) && created;
    if (!created)
        Report("创建db库失败！");
    // An index only speeds lookups up: one that cannot be made costs nothing else.
    for (const char* sql : indexStatements) db->Exec(sql);
    return db;
}

bool Databases::OpenFilterDb() {
    auto db = Open("Filter.db", kFilterTables, kFilterIndexes);
    std::lock_guard lock(mutex_);
    filterDb_ = db;
    return db->IsOpen();
}

bool Databases::OpenProductDb(const std::string& nick) {
    auto db = Open(EncodeNickForFileName(nick) + ".db", kProductTables, kProductIndexes);
    // Entries left behind by a clear that failed after their record went in: settled.
    db->Exec("DELETE FROM PublishJournal WHERE VT IN (SELECT VT FROM ProductData);");
    std::lock_guard lock(mutex_);
    productDb_ = db;
    return db->IsOpen();
}

std::shared_ptr<Database> Databases::FilterDb() const {
    std::lock_guard lock(mutex_);
    return filterDb_;
}

std::shared_ptr<Database> Databases::ProductDb() const {
    std::lock_guard lock(mutex_);
    return productDb_;
}

std::string Databases::QueryColumnList(const std::string& select) const {
    auto db = FilterDb();
    if (!db)
        return {};
    std::string list;
    for (const std::string& value : db->QueryColumn(GbkToUtf8(select))) {
        list += Utf8ToGbk(value);
        list += ',';
    }
    return list;
}

bool Databases::IsForbiddenMark(std::string_view mark) const {
    auto db = FilterDb();
    return db &&
           db->HasRow("select 1 from ForbidBiaoZhi where BiaoZhi=? limit 1", GbkToUtf8(Trim(mark)));
}

bool Databases::IsForbiddenPublisher(std::string_view publisher) const {
    auto db = FilterDb();
    return db &&
           db->HasRow("select 1 from ForbidCBS where CBS=? limit 1", GbkToUtf8(Trim(publisher)));
}

bool Databases::IsPublished(std::string_view outerCode) const {
    auto db = ProductDb();
    return db &&
           db->HasRow("select 1 from ProductData where VT=? limit 1", GbkToUtf8(Trim(outerCode)));
}

WriteOutcome Databases::RecordPublished(std::string_view outerCode, std::string_view tb) {
    auto db = ProductDb();
    if (!db)
        return {WriteError::NotWritable};
    const std::string code = GbkToUtf8(Trim(outerCode));
    // One step: a process killed in between leaves either the entry (asked again later)
    // or the record, never neither.
    if (db->ExecBoundAtomicallyCode({{kInsertPublished, {code, GbkToUtf8(tb)}},
                                     {kDeleteJournalEntry, {code}}}) == SQLITE_OK)
        return {};
    // A journal that cannot be written never costs the record itself; the entry left
    // behind is dropped when the book is met again, as the record is found first.
    return OutcomeOf(db->ExecBoundCode(kInsertPublished, {code, GbkToUtf8(tb)}));
}

WriteOutcome Databases::MarkPublishInFlight(const UnknownPublish& entry) {
    auto db = ProductDb();
    if (!db)
        return {WriteError::NotWritable};
    return OutcomeOf(db->ExecBoundCode(
        "INSERT OR REPLACE INTO PublishJournal (VT, Since, Nick, ForSale) "
        "VALUES (?, datetime('now','localtime'), ?, ?)",
        {GbkToUtf8(Trim(entry.outerCode)), GbkToUtf8(entry.nick), entry.forSale ? "1" : "0"}));
}

WriteOutcome Databases::ClearPublishEntry(std::string_view outerCode) {
    auto db = ProductDb();
    if (!db)
        return {WriteError::NotWritable};
    return OutcomeOf(db->ExecBoundCode(kDeleteJournalEntry, {GbkToUtf8(Trim(outerCode))}));
}

std::string Databases::PublishedItemId(std::string_view outerCode) const {
    auto db = ProductDb();
    if (!db)
        return {};
    // The newest record with an item id: a book republished after a cleared shop has two.
    const auto rows = db->QueryBound("select TB from ProductData where VT=? order by ID desc",
                                     {GbkToUtf8(Trim(outerCode))});
    for (const auto& row : rows)
        if (!row.empty() && !Trim(row[0]).empty())
            return Utf8ToGbk(Trim(row[0]));
    return {};
}

bool Databases::IsPublishUnknown(std::string_view outerCode) const {
    auto db = ProductDb();
    return db && db->HasRow("select 1 from PublishJournal where VT=? limit 1",
                            GbkToUtf8(Trim(outerCode)));
}

namespace {

std::vector<UnknownPublish> JournalEntries(const std::vector<std::vector<std::string>>& rows) {
    std::vector<UnknownPublish> entries;
    for (const auto& row : rows) {
        if (row.size() < 4)
            continue;
        entries.push_back({Utf8ToGbk(row[0]), row[1], Utf8ToGbk(row[2]), row[3] != "0"});
    }
    return entries;
}

}  // namespace

std::optional<UnknownPublish> Databases::FindUnknownPublish(std::string_view outerCode) const {
    auto db = ProductDb();
    if (!db)
        return std::nullopt;
    const std::string select = std::string(kJournalColumns) + " where VT=? limit 1";
    auto entries = JournalEntries(db->QueryBound(select.c_str(), {GbkToUtf8(Trim(outerCode))}));
    if (entries.empty())
        return std::nullopt;
    return entries.front();
}

std::vector<UnknownPublish> Databases::UnknownPublishes() const {
    auto db = ProductDb();
    if (!db)
        return {};
    // An entry the record outlived (its clear failed on a full disk) is no unknown outcome:
    // the record wins.
    const std::string select = std::string(kJournalColumns) +
                               " where VT not in (select VT from ProductData) order by rowid";
    return JournalEntries(db->QueryBound(select.c_str(), {}));
}

bool Databases::ReplaceList(ListTable table, std::string_view text) {
    auto db = FilterDb();
    if (!db)
        return false;
    ListStatements s = StatementsOf(table);
    std::vector<Database::BoundStatement> statements{{s.del, {}}};
    for (const std::string& piece : SplitList(text, ','))
        statements.push_back({s.insert, {GbkToUtf8(piece)}});
    // A list thread looking a mark up during the save sees the old list or the new one,
    // never the emptied table in between; a failed save leaves the old list whole.
    return db->ExecBoundAtomically(statements);
}

bool Databases::AddForbiddenMark(std::string_view mark) {
    auto db = FilterDb();
    return db &&
           db->ExecBound("INSERT INTO ForbidBiaoZhi (BiaoZhi) VALUES (?)", {GbkToUtf8(Trim(mark))});
}

}  // namespace vt
