// Opening and walking a configuration file of 24,000 options the way loading a file walks it,
// with the reader's indexes and with a plain scan of the same record table for comparison.
//
// Usage: xmlreader_bench [--full-scan]   (the scan walk otherwise times 3 of the 60 sections and
// scales the figure up; the whole scan walk takes several minutes)
//
//        xmlreader_bench --hostile KIND [SIZE [FILE]]
// writes one hostile file (kept as FILE when given), opens it, visits every element and prints
// the speed and the peak memory the reader took against the file's size; one case per process,
// so that the peak is this case's. KIND and SIZE:
//   config  a valid configuration file of about SIZE bytes (default 100,000,000)
//   empty   SIZE "<a/>" in the root (default 1,000,000)
//   pair    SIZE "<a></a>" in the root (default 1,000,000)
//   value   one VALUE of SIZE bytes (default 100,000,000)
//   deep    SIZE elements, each inside the one before (default 1,000,000)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "benchsupport.h"
#include "core/xml/xmlerror.h"
#include "core/xml/xmlreader.h"
#include "core/xml/xmlwriter.h"

namespace {

constexpr int kSections = 60;  // COMMON and 59 SCALE
constexpr int kMenus = 20;
constexpr int kOptions = 20;  // per menu: 400 per section, 24,000 in all

struct Rec {
    bool isEnd;
    int id;
    int parent;
    QString name;
    QStringList attribNames;
    QStringList attribValues;
    QString data;
};

// Writes the file through the writer and records the table the reader must build from it
// (unless told not to: a file of millions of elements).
class Generator {
  public:
    Generator(const QString& path, int sections, int options = kOptions, bool record = true)
        : sections_(sections), options_(options), record_(record) {
        w_.setDocument(path);
    }

    void Run() {
        Open("TARASCOPE");
        for (int s = 0; s < sections_; ++s) {
            if (s == 0)
                Block("COMMON", {}, {});
            else
                Block("SCALE", {"number"}, {QString::number(s)});
            for (int m = 0; m < kMenus; ++m) {
                const QString menu = QString::number(s * 100 + m);
                Block("MENU", {"id", "text"}, {menu, "Menu " + menu});
                for (int o = 0; o < options_; ++o) {
                    const int id = m * 1000 + o;
                    const bool isEnum = o % 4 == 0;
                    Block("OPTION", {"id", "text"},
                          {QString::number(id), "Opción " + QString::number(id)});
                    Leaf("VALUE", isEnum ? "1" : QString::number(id * 7 % 1000));
                    Leaf("LENGTH", isEnum ? "1" : "4");
                    Leaf("ORDER", QString::number(o));
                    Leaf("TYPE", isEnum ? "enum" : "number");
                    if (isEnum) {
                        Block("AVAILABLE", {}, {});
                        for (const char* item : {"NO", "SI", "AUTO", "MANUAL"}) Leaf("ITEM", item);
                        End();
                    }
                    End();
                }
                End();
            }
            End();
        }
        while (!open_.empty()) End();
        if (!w_.CloseDoc()) {
            std::fprintf(stderr, "cannot write the benchmark's file: %s\n",
                         qPrintable(w_.errorString()));
            std::exit(1);
        }
    }

    std::vector<Rec> records;

  private:
    void Start(const QString& name, const QStringList& names, const QStringList& values) {
        if (!record_) return;
        const int parent = open_.empty() ? -1 : open_.back();
        records.push_back({false, nextId_, parent, name, names, values, {}});
        open_.push_back(nextId_++);
    }
    void Open(const QString& root) {
        w_.OpenDoc(root);
        Start(root, {}, {});
    }
    void Block(const QString& name, const QStringList& names, const QStringList& values) {
        w_.SetDataBlock(name, int(names.size()), names, values);
        Start(name, names, values);
    }
    void Leaf(const QString& name, const QString& value) {
        w_.SetData(name, value);
        Start(name, {}, {});
        if (record_) records.back().data = value;
        End(false);
    }
    void End(bool write = true) {
        if (write) w_.EndDataBlock();
        if (!record_) return;
        const Rec& start = *std::find_if(records.rbegin(), records.rend(), [&](const Rec& r) {
            return !r.isEnd && r.id == open_.back();
        });
        records.push_back({true, start.id, start.parent, "/" + start.name, {}, {}, {}});
        open_.pop_back();
    }

    int sections_;
    int options_;
    bool record_;
    cfg::ClsXMLWriter w_;
    std::vector<int> open_;
    int nextId_ = 0;
};

// The reader's cursor rules applied by scanning every record for each lookup.
class ScanReader {
  public:
    explicit ScanReader(const std::vector<Rec>& recs) : recs_(recs) {}

    QString LabelName() const { return id_ == -1 ? QString() : recs_[std::size_t(index_)].name; }
    QString LabelData() const { return id_ == -1 ? QString() : recs_[std::size_t(index_)].data; }
    void GetAttributes(int& n, QStringList& names, QStringList& values) const {
        if (id_ == -1) {
            n = 0;
            return;
        }
        const Rec& r = recs_[std::size_t(index_)];
        n = int(r.attribNames.size());
        names = r.attribNames;
        names.append(QString());
        values = r.attribValues;
        values.append(QString());
    }
    int GetChildren(QList<int>& ids, QStringList& names) const {
        if (index_ < 0) return 0;
        const int p = recs_[std::size_t(index_)].id;
        int count = 0;
        for (const Rec& r : recs_) {
            if (r.parent != p || r.isEnd) continue;
            ++count;
            ids.resize(count + 1);
            names.resize(count + 1);
            ids[count - 1] = r.id;
            names[count - 1] = r.name;
        }
        return count;
    }
    void Reset() {
        id_ = -1;
        index_ = 0;
    }
    void GoBack() {
        if (index_ < 0) return;
        id_ = recs_[std::size_t(index_)].parent;
        for (std::size_t k = 0; k < recs_.size(); ++k) {
            if (recs_[k].id == id_) {
                index_ = int(k);
                return;
            }
        }
    }
    bool SearchChildID(int n) {
        return Find([&](const Rec& r) { return r.id == n; });
    }
    bool SearchString(const QString& s) {
        const QString key = s.trimmed().toUpper();
        return Find([&](const Rec& r) { return r.name.toUpper() == key; });
    }

  private:
    template <class Match>
    bool Find(const Match& match) {
        for (std::size_t k = 0; k < recs_.size(); ++k) {
            if (recs_[k].parent == id_ && match(recs_[k])) {
                index_ = int(k);
                id_ = recs_[k].id;
                return true;
            }
        }
        return false;
    }

    const std::vector<Rec>& recs_;
    int index_ = -1;
    int id_ = -1;
};

using benchsupport::PeakBytes;
using benchsupport::WalkAll;
using benchsupport::WalkResult;

// Sections, menus and options entered by ID from their parent's children; the leaves of an
// option looked up by name; every value read.
template <class Reader>
WalkResult Walk(Reader& r, const std::function<bool(int)>& sectionWanted) {
    WalkResult out;
    auto visit = [&](const QString& name, const QString& data) {
        ++out.elements;
        out.checksum += name.size() * 31 + data.size();
    };
    QList<int> sections, menus, options, items;
    QStringList names;
    QStringList attribNames, attribValues;
    int n = 0;
    r.Reset();
    if (!r.SearchString("TARASCOPE")) return out;
    const int sectionCount = r.GetChildren(sections, names);
    for (int s = 0; s < sectionCount; ++s) {
        if (!sectionWanted(s)) continue;
        r.SearchChildID(sections[s]);
        r.GetAttributes(n, attribNames, attribValues);
        visit(r.LabelName(), attribValues[0]);
        const int menuCount = r.GetChildren(menus, names);
        for (int m = 0; m < menuCount; ++m) {
            r.SearchChildID(menus[m]);
            r.GetAttributes(n, attribNames, attribValues);
            visit(r.LabelName(), attribValues[0]);
            const int optionCount = r.GetChildren(options, names);
            for (int o = 0; o < optionCount; ++o) {
                r.SearchChildID(options[o]);
                r.GetAttributes(n, attribNames, attribValues);
                visit(r.LabelName(), attribValues[0]);
                for (const char* leaf : {"VALUE", "LENGTH", "ORDER", "TYPE"}) {
                    if (!r.SearchString(leaf)) continue;
                    visit(r.LabelName(), r.LabelData());
                    r.GoBack();
                }
                if (r.SearchString("AVAILABLE")) {
                    const int itemCount = r.GetChildren(items, names);
                    for (int i = 0; i < itemCount; ++i) {
                        r.SearchChildID(items[i]);
                        visit(r.LabelName(), r.LabelData());
                        r.GoBack();
                    }
                    r.GoBack();
                }
                r.GoBack();
            }
            r.GoBack();
        }
        r.GoBack();
    }
    return out;
}

double Seconds(const std::function<void()>& f, int runs = 1) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, double(t.nsecsElapsed()) / 1e9);
    }
    return best;
}

// --- Hostile files ---

// Writes a file in large pieces without holding it.
class Output {
  public:
    explicit Output(const QString& path) : file_(path) { file_.open(QIODevice::WriteOnly); }
    ~Output() { file_.write(pending_); }
    void Add(QByteArrayView text, qint64 times = 1) {
        for (qint64 i = 0; i < times; ++i) {
            pending_ += text;
            if (pending_.size() < (1 << 20)) continue;
            file_.write(pending_);
            pending_.clear();
        }
    }

  private:
    QFile file_;
    QByteArray pending_;
};

bool WriteHostile(const QByteArray& kind, qint64 size, const QString& path) {
    if (kind == "config") {
        // 60 sections of 20 menus, an option about 340 bytes.
        const qint64 options = std::max<qint64>(1, size / (kSections * kMenus * 340));
        Generator(path, kSections, int(options), false).Run();
        return true;
    }
    if (kind != "empty" && kind != "pair" && kind != "value" && kind != "deep") return false;
    Output out(path);
    out.Add("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<TARASCOPE>\r\n");
    if (kind == "empty") out.Add("<a/>\r\n", size);
    if (kind == "pair") out.Add("<a></a>\r\n", size);
    if (kind == "value") {
        out.Add("<COMMON>\r\n<MENU id=\"1\">\r\n<OPTION id=\"10\">\r\n<VALUE> ");
        const QByteArray piece(1 << 20, '7');
        out.Add(piece, size / piece.size());
        out.Add(QByteArrayView(piece).first(size % piece.size()));
        out.Add(
            " </VALUE>\r\n<LENGTH> 8 </LENGTH>\r\n<ORDER> 1 </ORDER>\r\n<TYPE> number </TYPE>\r\n"
            "</OPTION>\r\n</MENU>\r\n</COMMON>\r\n");
    }
    if (kind == "deep") {
        out.Add("<a>\r\n", size);
        out.Add("</a>\r\n", size);
    }
    out.Add("</TARASCOPE>\r\n");
    return true;
}

int Hostile(const QByteArray& kind, qint64 size, const QString& keep) {
    if (size < 0) size = kind == "config" || kind == "value" ? 100'000'000 : 1'000'000;
    QTemporaryDir dir;
    const QString path = keep.isEmpty() ? dir.filePath("hostile.xml") : keep;
    if (!WriteHostile(kind, size, path)) {
        std::fprintf(stderr, "unknown kind %s\n", kind.constData());
        return 2;
    }
    const double bytes = double(QFileInfo(path).size());
    const double before = PeakBytes();
    cfg::ClsXMLReader reader;
    reader.setDocument(path);
    int refused = 0;
    const double open = Seconds([&] {
        if (!reader.OpenDoc()) refused = reader.error().code;
    });
    WalkResult walked;
    const double walk = refused ? 0 : Seconds([&] { walked = WalkAll(reader); });
    const double grown = PeakBytes() - before;
    std::printf("%s %lld: %.0f bytes, ", kind.constData(), size, bytes);
    if (refused)
        std::printf("refused (%d)\n", refused);
    else
        std::printf("%ld elements\n", walked.elements);
    std::printf("  OpenDoc %.3f s = %.1f MB/s; walk %.3f s; together %.1f MB/s\n", open,
                bytes / 1e6 / open, walk, bytes / 1e6 / (open + walk));
    std::printf("  peak memory growth %.1f MB = %.2f x the file\n", grown / 1e6, grown / bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 2 && std::strcmp(argv[1], "--hostile") == 0)
        return Hostile(argv[2], argc > 3 ? std::atoll(argv[3]) : -1,
                       argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString());
    const bool fullScan = argc > 1 && std::strcmp(argv[1], "--full-scan") == 0;
    QTemporaryDir dir;
    const QString path = dir.filePath("config.xml");

    Generator gen(path, kSections);
    const double writeTime = Seconds([&] { gen.Run(); });
    std::printf(
        "file: %d sections x %d menus x %d options = %d OPTION elements, %lld bytes, "
        "%zu records\n",
        kSections, kMenus, kOptions, kSections * kMenus * kOptions, QFileInfo(path).size(),
        gen.records.size());
    std::printf("write (ClsXMLWriter):        %8.3f s\n", writeTime);

    cfg::ClsXMLReader reader;
    reader.setDocument(path);
    std::printf("OpenDoc (best of 3):         %8.3f s\n", Seconds([&] { reader.OpenDoc(); }, 3));

    const auto all = [](int) { return true; };
    WalkResult indexed;
    std::printf("walk (best of 3):            %8.3f s\n",
                Seconds([&] { indexed = Walk(reader, all); }, 3));
    std::printf("  elements visited: %ld\n", indexed.elements);

    {
        // Linear cost: a quarter of the file takes a quarter of the time.
        const QString small = dir.filePath("small.xml");
        Generator quarter(small, kSections / 4);
        quarter.Run();
        cfg::ClsXMLReader r;
        r.setDocument(small);
        const double open = Seconds([&] { r.OpenDoc(); }, 3);
        const double walk = Seconds([&] { Walk(r, all); }, 3);
        std::printf("quarter file (%d sections):   OpenDoc %.3f s, walk %.3f s\n", kSections / 4,
                    open, walk);
    }

    ScanReader scan(gen.records);
    // Sections are alike; the cost of a scan grows with the position in the table, so the
    // sample takes sections spread evenly around the middle of the file.
    const auto sample = [&](int s) { return fullScan || s % 20 == 10; };
    const int sampled = fullScan ? kSections : kSections / 20;
    WalkResult scanned;
    const double scanTime = Seconds([&] { scanned = Walk(scan, sample); });
    WalkResult indexedSample;
    const double indexedSampleTime = Seconds([&] { indexedSample = Walk(reader, sample); }, 3);
    if (scanned.checksum != indexedSample.checksum || scanned.elements != indexedSample.elements)
        std::printf("  MISMATCH between the indexed and the scanning walk\n");
    const double scale = double(kSections) / sampled;
    std::printf("scan walk, %d of %d sections: %8.3f s (whole file about %.1f s)\n", sampled,
                kSections, scanTime, scanTime * scale);
    std::printf("indexed walk, same sections:  %8.4f s\n", indexedSampleTime);
    std::printf("ratio scan / indexed:         %8.0f x\n", scanTime / indexedSampleTime);
    return 0;
}
