#pragma once

#include <QString>
#include <vector>

namespace cfg {

class ConfigModel;
struct ReadFailure;

// The scales a configuration file can hold: the numbers of the scale nodes of the tree, once
// each, in the order the nodes were added.
std::vector<int> ScalesInTree(const ConfigModel& model);

// What the file system says of a path typed to save to, before anything is written.
enum class SavePath {
    Ok,       // a new file
    Empty,    // nothing but spaces: "Elija nombre del fichero"
    Invalid,  // cannot even be examined: "Ruta no válida"
    Exists,   // a file of that name exists: ask before overwriting
};
SavePath CheckSavePath(const QString& path);
// The message a refused path gets (critical icon); empty for Ok and Exists.
QString SavePathMessage(SavePath answer);

// What a file of the common data (when `common`) and of `scales` will lack because the last
// network read did not read it.
std::vector<ReadFailure> MissingFromFile(const ConfigModel& model, bool common,
                                         const std::vector<int>& scales);

// How many of the values a file of the common data (when `common`) and of `scales` will hold
// differ from what the scales hold (Changed).
int ValuesNotHeld(const ConfigModel& model, bool common, const std::vector<int>& scales);

// What a written configuration file holds: its SCALE and its OPTION elements.
struct SavedCounts {
    int scales = 0;
    int items = 0;
};

// Writes the configuration file: the system's menus when `common`, then every scale of
// `scales` in that order. The file is replaced only once it is complete: false, with the
// failure in `error`, when it cannot be opened or written whole. What it holds goes to `counts`.
bool Guardar_Datos_Archivo(const ConfigModel& model, const QString& path, bool common,
                           const std::vector<int>& scales, QString* error = nullptr,
                           SavedCounts* counts = nullptr);

// The value as a scale section writes it for the grouped items: one trailing and then one
// leading space each become "~", so the reader can tell them from the separators.
QString MarkSpaces(const QString& value);

}  // namespace cfg
