#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>  // the folder of every test that writes files
#include <iosfwd>
#include <vector>

#include "core/common/operation.h"

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

}  // namespace cfgtest
