#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>  // the folder of every test that writes files
#include <iosfwd>
#include <vector>

#include "core/common/operation.h"
#include "core/model/configmodel.h"

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

// Records what the core would have shown, asked and told, as an operation of its own. Pauses
// are recorded, not waited.
class RecordingOperation : public cfg::Operation {
  public:
    struct Shown {
        QString text;
        cfg::Icon icon;
    };
    void Show(const QString& text, cfg::Icon icon) override { shown.push_back({text, icon}); }
    bool Ask(const QString& text, cfg::Icon icon) override {
        asked.push_back({text, icon});
        return answer;
    }
    void Begin(const QString& c) override { captions.append("begin " + c); }
    void Caption(const QString& c) override { captions.append(c); }
    void End() override { captions.append("end"); }
    void EndShowing(const QString& c) override { captions.append("end " + c); }
    void Sending(bool on) override { sending.push_back(on); }
    void Line(const QString& line) override { lines.append(line); }
    cfg::TrafficLog* Log() override { return log; }
    void Pause(int milliseconds) override { pauses.push_back(milliseconds); }

    // What was shown since the last call, each as "icon: text", and forgets it.
    QStringList TakeShown() {
        static const char* const icons[] = {"none", "critical", "exclamation", "question",
                                            "information"};
        QStringList texts;
        for (const Shown& s : shown) texts.append(icons[int(s.icon)] + QString(": ") + s.text);
        shown.clear();
        return texts;
    }

    std::vector<Shown> shown;
    std::vector<Shown> asked;
    bool answer = true;
    QStringList captions;
    std::vector<bool> sending;
    QStringList lines;
    std::vector<int> pauses;
    cfg::TrafficLog* log = nullptr;
};

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

}  // namespace cfgtest
