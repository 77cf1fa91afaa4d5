#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>  // the folder of every test that writes files
#include <QVariant>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/operation.h"
#include "core/link/scalelink.h"
#include "core/model/configmodel.h"
#include "core/protocol/tools.h"

// Readable failures for Qt strings.
QT_BEGIN_NAMESPACE
void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const QByteArray& b, std::ostream* os);
QT_END_NAMESPACE

namespace cfgtest {

// A byte string from a list of byte values.
QByteArray Bytes(std::initializer_list<int> values);

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& data);
// One statement on the SQLite database at `path`, on a connection of its own: its first value.
QVariant Sql(const QString& path, const QString& statement);

// Records what the core would have shown, asked and told, as an operation of its own. Pauses
// are recorded, not waited.
class RecordingOperation : public cfg::Operation {
  public:
    struct Shown {
        QString text;
        cfg::Icon icon;
        cfg::Default preset = cfg::Default::Yes;  // of a question
    };
    void Show(const QString& text, cfg::Icon icon) override { shown.push_back({text, icon}); }
    bool Ask(const QString& text, cfg::Icon icon, cfg::Default preset) override {
        asked.push_back({text, icon, preset});
        if (beforeAnswer) std::exchange(beforeAnswer, {})();
        return answer;
    }
    // Yes narrowed to `scopeAnswer` when one is set.
    std::optional<cfg::SendScope> AskSend(const QString& text,
                                          const std::vector<cfg::ValueChange>& changes,
                                          cfg::SendScope scope) override {
        changesAsked = static_cast<int>(changes.size());
        if (!Ask(text, cfg::Icon::Question, cfg::Default::Yes)) return std::nullopt;
        return scopeAnswer.value_or(scope);
    }
    void Progress(int done, int total, cfg::Counted) override { progress.push_back({done, total}); }
    void Begin(const QString& c) override { captions.append("begin " + c); }
    void Caption(const QString& c) override { captions.append(c); }
    void End() override { captions.append("end"); }
    void EndShowing(const QString& c) override { captions.append("end " + c); }
    void Sending(bool on) override { sending.push_back(on); }
    void Line(const QString& line) override { lines.append(line); }
    cfg::TrafficLog* Log() override { return log; }
    void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
    bool Cancelled() override { return cancel && cancel(); }

    // What was shown (or asked) since the last call, each as "icon: text" ("icon, No: text" for
    // a question whose preset answer is No), and forgets it.
    QStringList TakeShown() { return Take(shown); }
    QStringList TakeAsked() { return Take(asked); }
    static QStringList Take(std::vector<Shown>& said) {
        static const char* const icons[] = {"none", "critical", "exclamation", "question",
                                            "information"};
        QStringList texts;
        for (const Shown& s : std::exchange(said, {}))
            texts.append(icons[int(s.icon)] +
                         QString(s.preset == cfg::Default::No ? ", No: " : ": ") + s.text);
        return texts;
    }

    std::vector<Shown> shown;
    std::vector<Shown> asked;
    bool answer = true;
    std::optional<cfg::SendScope> scopeAnswer;
    int changesAsked = -1;
    std::vector<std::pair<int, int>> progress;
    QStringList captions;
    std::vector<bool> sending;
    QStringList lines;
    std::vector<int> pauses;
    cfg::TrafficLog* log = nullptr;
    std::function<bool()> cancel;        // the user's Cancel, asked each time the core looks
    std::function<void()> beforeAnswer;  // once, as the next question is asked
};

// The name of a parameterised case: its index, then its text (up to `end` when given) with
// letters and digits kept and every run of anything else one "_" ("3_read_CONN_scales_x"; an
// empty text "empty"), the same at every discovery.
inline std::string CaseName(std::size_t index, std::string_view text, char end = '\0') {
    std::string name = std::to_string(index) + '_';
    for (const char c : text.substr(0, text.find(end)).substr(0, 48)) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            name += c;
        } else if (name.back() != '_') {
            name += '_';
        }
    }
    if (name == std::to_string(index) + '_') return name + "empty";
    if (name.back() == '_') name.pop_back();
    return name;
}

// An item whose value is known (as if loaded from a file), named after its ID.
inline cfg::ItemRow Row(int owner, int id, int type, int length, int order, const QString& value,
                        const QString& menuKey = {}, const QStringList& options = {},
                        const QString& key = {}) {
    // In the order of ItemRow's fields; nothing read from a scale yet.
    return {owner,   id,   type,  order, length, QString("Opcion %1").arg(id), key, options, value,
            menuKey, true, false, {},    {}};
}

// Adds `row`, keyed "k<owner>_<id>", and its node under its menu's node if there is one.
inline void AddItem(cfg::ConfigModel& model, cfg::ItemRow row) {
    row.key = QString("k%1_%2").arg(row.owner).arg(row.id);
    const QString parent = model.FindNode(row.menuKey) >= 0 ? row.menuKey : QString();
    model.AddNode(parent, row.key, row.text, "valor", cfg::NodeKind::SystemItem, row.owner);
    model.AppendItem(row);
}

// A link whose replies come from a function of the request; every request is recorded.
class ScriptedLink : public cfg::ScaleLink {
  public:
    struct Answer {
        int result = 0;
        QByteArray reply;
    };
    using Responder = std::function<Answer(const QByteArray& request)>;

    explicit ScriptedLink(Responder responder = {}) : responder_(std::move(responder)) {}
    void SetResponder(Responder responder) { responder_ = std::move(responder); }

    int Connect(int, int, const QString&) override { return 0; }
    void Configure(int) override {}
    // The answer is chosen when the request goes out, as a scale would; its failure shows at
    // Receive, where a link's timeouts and closed connections show.
    int Send(const QByteArray& request) override {
        if (requests.size() == failingSend) return 14;
        requests.append(request);
        pending_ = responder_ ? responder_(request) : Answer{1, {}};
        return 0;
    }
    int Receive(QByteArray& reply) override {
        if (!pending_) return 1;
        const Answer answer = *std::exchange(pending_, std::nullopt);
        reply = answer.reply;
        return answer.result;
    }

    QList<QByteArray> requests;
    qsizetype failingSend = -1;  // the Send made when `requests` holds this many fails

  private:
    Responder responder_;
    std::optional<Answer> pending_;
};

// The ten header bytes of a reply from `destination` whose CR stand-in is `standIn` (CR itself:
// nothing to undo).
inline QByteArray ReplyHeader(int standIn = 0x0D, int destination = 0) {
    return Bytes({0x02, 0x7E, destination >> 8, destination & 0xFF, standIn, 0, 0, 0, 0, 0x08});
}

// A paged reply: entry count, cursor and entries, padded to the 20 bytes such a reply has.
inline QByteArray PagedAnswer(int count, int cursor, const QByteArray& data) {
    QByteArray reply =
        ReplyHeader() + cfg::Numero_A_Bytes(count, 2) + cfg::Numero_A_Bytes(cursor, 2) + data;
    if (reply.size() < 20) reply.append(20 - reply.size(), '\0');
    return reply;
}

// A request: the ten header bytes for a destination word (0x0000 the system, 0x0200 + n scale n,
// 0x2000 the structure the scales share), then the function byte and what follows it.
inline QByteArray Request(int destination, const QByteArray& body) {
    return QByteArray("\x02\x7E", 2) + char(destination >> 8) + char(destination & 0xFF) +
           QByteArray(5, '\0') + '\x08' + body;
}
// A value entry as requests and replies carry it: the ID (little-endian), the type, the bytes.
inline QByteArray Entry(int id, int type, const QByteArray& bytes) {
    return QByteArray(1, char(id & 0xFF)) + char(id >> 8) + char(type) + bytes;
}
// A text with its length byte before it.
inline QByteArray Text(const QByteArray& text) {
    return char(text.size()) + text;
}

// A write reply: the accepted count and the error code.
inline QByteArray WriteAnswer(int accepted, int code) {
    return ReplyHeader() + cfg::Numero_A_Bytes(accepted, 2) + cfg::Numero_A_Bytes(code, 2);
}

}  // namespace cfgtest
