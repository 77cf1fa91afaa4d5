#include "core/xml/xmlwriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSaveFile>
#include <algorithm>
#include <functional>
#include <memory>

#include "support/testsupport.h"

namespace {

using cfg::ClsXMLWriter;
using cfgtest::ReadAll;

// A file whose writes fail once `budget` bytes have gone through, as a full disk fails: the
// part that fits is written and the call reports an error.
struct FailDevice : QSaveFile {
    FailDevice(const QString& path, qint64 budget) : QSaveFile(path), budget_(budget) {}
    qint64 writeData(const char* data, qint64 len) override {
        const qint64 fits = std::clamp<qint64>(budget_, 0, len);
        budget_ -= fits;
        if (fits > 0 && QSaveFile::writeData(data, fits) != fits) return -1;
        if (fits == len) return len;
        setErrorString("No space left on device");
        return -1;
    }
    qint64 budget_;
};

class XmlWriterTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir_;
};

TEST_F(XmlWriterTest, MisuseWritesNothingAndAFailedOpenKeepsTheOpenDocument) {
    ClsXMLWriter w;
    EXPECT_FALSE(w.OpenDoc("r"));
    EXPECT_EQ(w.errorString(), "No document to open");
    w.setDocument(Path("good.xml"));
    w.SetData("k", "v");
    EXPECT_FALSE(w.CloseDoc());
    EXPECT_TRUE(Entries().isEmpty());
    ASSERT_TRUE(w.OpenDoc("r"));
    for (const QString& bad : {Path("missing/x.xml"), dir_.path()}) {
        w.setDocument(bad);
        EXPECT_FALSE(w.OpenDoc("other"));
        EXPECT_EQ(w.errorString(), "Error opening document");
    }
    w.SetData("k", "v");
    EXPECT_TRUE(w.CloseDoc());
    const QByteArray good =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<r>\r\n<k> v </k>\r\n</r>\r\n\r\n";
    EXPECT_EQ(ReadAll(Path("good.xml")), good);
    // Fewer attribute names or values than the count drop the document.
    w.setDocument(Path("good.xml"));
    ASSERT_TRUE(w.OpenDoc("other"));
    w.SetDataBlock("M", 2, {"id"}, {"1", "2"});
    EXPECT_FALSE(w.CloseDoc());
    EXPECT_EQ(ReadAll(Path("good.xml")), good);
}

// A file is replaced only by a complete document: not by one left open, discarded by another
// OpenDoc or by the writer's end, nor by one whose writes or final rename fail.
TEST_F(XmlWriterTest, FileReplacedOnlyWhenComplete) {
    const auto sample = [](ClsXMLWriter& w) {
        w.OpenDoc("r");
        for (int i = 0; i < 20; ++i) w.SetData("VALUE", QString::number(i));
        return w.CloseDoc();
    };
    {
        ClsXMLWriter w;
        w.setDocument(Path("whole.xml"));
        ASSERT_TRUE(sample(w));
        w.setDocument(Path("a.xml"));
        w.OpenDoc("r");
        w.setDocument(Path("whole.xml"));
        w.OpenDoc("r");
    }
    const QByteArray whole = ReadAll(Path("whole.xml"));
    EXPECT_EQ(Entries(), QStringList({"whole.xml"}));
    for (qint64 budget : {qint64(0), qint64(60), qint64(whole.size() - 1), qint64(whole.size())}) {
        SCOPED_TRACE(budget);
        cfgtest::WriteAll(Path("a.xml"), "old");
        ClsXMLWriter w([budget](const QString& p) -> std::unique_ptr<QIODevice> {
            auto device = std::make_unique<FailDevice>(p, budget);
            return device->open(QIODevice::WriteOnly) ? std::move(device) : nullptr;
        });
        w.setDocument(Path("a.xml"));
        const bool complete = budget == whole.size();
        EXPECT_EQ(sample(w), complete);
        EXPECT_EQ(ReadAll(Path("a.xml")), complete ? whole : QByteArray("old"));
        EXPECT_EQ(w.errorString().startsWith("Error writing"), !complete);
        EXPECT_EQ(Entries(), QStringList({"a.xml", "whole.xml"}));
    }
    QDir(dir_.path()).mkdir("sub");
    ClsXMLWriter w;
    w.setDocument(Path("sub/a.xml"));
    w.OpenDoc("r");
    ASSERT_TRUE(QDir(Path("sub")).removeRecursively());
    EXPECT_FALSE(w.CloseDoc());
}

}  // namespace
