// Opening and walking a configuration file of 24,000 options the way loading a file walks it,
// with the reader's indexes and with a plain scan of the same record table for comparison.
//
// Usage: xmlreader_bench [--full-scan]   (the scan walk otherwise times 3 of the 60 sections and
// scales the figure up; the whole scan walk takes several minutes)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "link/trafficlog.h"
#include "xml/xmlreader.h"
#include "xml/xmlwriter.h"

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

// Writes the file through the writer and records the table the reader must build from it.
class Generator {
  public:
    Generator(const QString& path, int sections) : sections_(sections) { w_.setDocument(path); }

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
                for (int o = 0; o < kOptions; ++o) {
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
        w_.CloseDoc();
    }

    std::vector<Rec> records;

  private:
    void Start(const QString& name, const QStringList& names, const QStringList& values) {
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
        records.back().data = value;
        End(false);
    }
    void End(bool write = true) {
        if (write) w_.EndDataBlock();
        const Rec& start = *std::find_if(records.rbegin(), records.rend(), [&](const Rec& r) {
            return !r.isEnd && r.id == open_.back();
        });
        records.push_back({true, start.id, start.parent, "/" + start.name, {}, {}, {}});
        open_.pop_back();
    }

    int sections_;
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

struct WalkResult {
    long elements = 0;
    long checksum = 0;  // the same for both readers when they agree
};

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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
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
    std::printf("walk, nlog off (best of 3):  %8.3f s\n",
                Seconds([&] { indexed = Walk(reader, all); }, 3));
    std::printf("  elements visited: %ld\n", indexed.elements);

    {
        QTemporaryDir logDir;
        cfg::TrafficLog log(logDir.path());
        cfg::ClsXMLReader logged(nullptr, &log);
        logged.setDocument(path);
        logged.OpenDoc();
        WalkResult withLog;
        std::printf("walk, nlog on:               %8.3f s\n", Seconds([&] {
                        withLog = Walk(logged, all);
                        log.Flush();
                    }));
        if (withLog.checksum != indexed.checksum) std::printf("  MISMATCH with nlog on\n");
    }

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
