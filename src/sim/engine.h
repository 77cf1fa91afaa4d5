#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <memory>
#include <optional>
#include <random>

#include "sim/simnetwork.h"

// The wire codes are named here, apart from the tool's own: a wrong code in the tool must not
// be matched by the same mistake in the peer that tests it.
namespace cfg::sim {

// Byte 11 of a request: what it asks.
enum Function : int {
    kReadValues = 0x00,  // the values of a page, or of one menu (byte 14)
    kWriteItems = 0x01,
    kReadStructure = 0x02,
    kReadNetwork = 0x03,
};
// Byte 14 of a values request.
enum ValuesScope : int { kValuesPage = 0x00, kOneMenu = 0x01 };
// Bytes 3 and 4 of a request: the system is 0x00 0x00, a scale 0x02 and its number, and the
// structure every scale shares 0x20 0x00.
inline constexpr int kToScale = 0x02;
inline constexpr int kToSharedStructure = 0x20;

// Error codes of a write reply (and of the error reply to any request).
enum ErrorCode : int {
    kNoData = 0,
    kNotProgrammable = 98,
    kWrongDestination = 100,
    kUnidentified = 101,
    kUnknownFunction = 102,
    kBadData = 103,
};

// Misbehaviour on request, for testing how a client copes.
struct FaultOptions {
    int latencyMs = 0;          // delay before each reply
    int silentAfter = -1;       // answer this many requests of a connection, then none (-1: all)
    int closeAfter = -1;        // close a connection after answering this many (-1: never)
    int dropAfter = -1;         // answer this many requests of a connection, then close it
                                // instead of answering the next (-1: never)
    int silentEvery = 0;        // leave every N-th request the engine receives unanswered,
                                // the connection kept (0: never)
    bool shortReplies = false;  // cut every reply below the minimum of its kind, never pad
    // Faults that a client's retry over a new connection cannot get past, counted by the engine
    // whatever the connection: every reply after the first N requests cut short (-1: never), and
    // the scales whose own reads (values, one menu) are always answered cut short.
    int shortAfter = -1;
    QSet<int> unreadableScales = {};
    QSet<int> refusedIds;  // writes to these item IDs are always refused (code 98)
};

struct EngineOptions {
    int pageSize = 8;  // records or entries per reply of a paged read
    FaultOptions faults;
    std::optional<std::uint32_t> seed;  // of the CR stand-in choice; random when unset
};

// The server scale: answers request frames for a network, keeps the values that writes
// change, and records every request it receives. Thread-safe: transports on other threads
// and a test may use one engine at the same time.
class Engine {
  public:
    // The network is expected to pass Validate: what does not fit the wire is sent cut.
    explicit Engine(Network network, EngineOptions options = {});
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Records the request and returns its reply frame as it goes on the wire: padded to the
    // minimum of its kind, byte 5 the CR stand-in and every CR replaced by it.
    QByteArray HandleRequest(const QByteArray& frame);

    // Records a request that will not be answered.
    void RecordRequest(const QByteArray& frame);

    // Also appends one line per request (the frame in hexadecimal) to `path`, flushed at once.
    bool OpenRecordFile(const QString& path, QString* error);

    QList<QByteArray> Requests() const;
    // For each request of Requests(), whether it was answered.
    QList<bool> Answered() const;
    int RequestCount() const;
    void ClearRequests();
    Network network() const;
    const EngineOptions& options() const { return options_; }

    // Shortest reply of each kind; an error reply has the write reply's layout.
    static constexpr int kNetworkMinimum = 15;
    static constexpr int kPagedMinimum = 20;
    static constexpr int kWriteMinimum = 14;

  private:
    // What the engine knows of one structure without searching it.
    struct Index {
        QList<QByteArray> recordBytes;     // every record as sent
        QList<int> valueItems;             // records with a value, in structure order
        QHash<int, int> itemById;          // item ID to record index
        QHash<int, QList<int>> menuItems;  // menu ID (its first menu) to its records with a value
        QList<int> groupIds;               // group IDs present, in ascending order
    };
    struct Reply {
        QByteArray bytes;  // without the stand-in; byte 5 is CR
        int minimum = 0;
    };
    struct Owner {
        bool valid = false;
        int scaleIndex = -1;  // -1: the system
    };

    static Index BuildIndex(const QList<Record>& records);
    void RecordLocked(const QByteArray& frame, bool answered);
    Reply Answer(const QByteArray& frame);
    Reply ErrorReply(const QByteArray& frame, int code) const;
    Reply ReadNetwork(const QByteArray& frame) const;
    Reply ReadStructure(const QByteArray& frame, const Index& index) const;
    Reply ReadValues(const QByteArray& frame, Owner owner, int cursor) const;
    Reply ReadMenu(const QByteArray& frame, Owner owner, int menuId) const;
    // A write in three steps: its entries as sent, each judged alone, then the group's rule
    // and the values stored.
    struct WriteEntry {
        int id = 0;
        int type = 0;
        QByteArray data;     // the value bytes as sent
        int code = kNoData;  // kNoData: acceptable
        int recordIndex = -1;
        Value value;
        bool groupIncomplete = false;  // acceptable alone, refused for the rest of the group
    };
    static QList<WriteEntry> ParseWrite(const QByteArray& frame, bool* truncated);
    void Check(WriteEntry& entry, Owner owner) const;
    void Apply(QList<WriteEntry>& entries, Owner owner, bool repeated);
    Reply Write(const QByteArray& frame, Owner owner);
    Owner OwnerOf(const QByteArray& frame) const;
    const Index& IndexOf(Owner owner) const;
    const Record& ItemOf(Owner owner, int recordIndex) const;
    Value ValueOf(Owner owner, int recordIndex) const;
    void Store(Owner owner, int recordIndex, const Value& value);
    QByteArray Finish(Reply reply, bool cut);

    const EngineOptions options_;
    mutable QMutex mutex_;
    QByteArray lastWrite_;
    Network network_;
    Index system_;
    Index shared_;
    QHash<int, int> scaleByNumber_;
    std::mt19937 random_;
    QList<QByteArray> requests_;
    QList<bool> answered_;
    std::unique_ptr<QFile> recordFile_;
};

}  // namespace cfg::sim
