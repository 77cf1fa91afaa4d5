#pragma once

#include <QIODevice>
#include <QSaveFile>
#include <memory>

namespace cfgtest {

// A file written through QSaveFile whose writes fail once `budget` bytes have gone through, the
// way a full disk fails: the part that fits is written and the call reports an error. Nothing
// reaches the target unless the writer commits.
class FailDevice : public QSaveFile {
  public:
    FailDevice(const QString& path, qint64 budget);
    qint64 accepted() const { return accepted_; }

  protected:
    qint64 writeData(const char* data, qint64 len) override;

  private:
    qint64 budget_;
    qint64 accepted_ = 0;
};

// Opens a FailDevice for writing, as an output opener of the XML writer would.
std::unique_ptr<QIODevice> OpenFailDevice(const QString& path, qint64 budget);

}  // namespace cfgtest
