#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <iosfwd>
#include <vector>

#include "common/messages.h"

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

// Records what the core would have shown or asked.
class RecordingMessages : public cfg::Messages {
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
    std::vector<Shown> shown;
    std::vector<Shown> asked;
    bool answer = true;
};

class RecordingEnd : public cfg::ProgramControl {
  public:
    void EndProgram() override { ++ended; }
    int ended = 0;
};

}  // namespace cfgtest
