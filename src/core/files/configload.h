#pragma once

#include <QString>

namespace cfg {

class ConfigModel;
class Messages;
class TrafficLog;

// Receives every decision of a load, one line each (the open window's list, or stdout).
class LoadLog {
  public:
    virtual ~LoadLog() = default;
    virtual void Agregar_Linea(const QString& line) = 0;
    // The last line has been added; the closing message, if any, comes next.
    virtual void Finished() {}
};

// What the file system says of a path typed to open.
enum class OpenPath {
    Ok,
    Empty,    // "Elija nombre del fichero"
    Invalid,  // "Ruta no válida"
    Missing,  // "El fichero no existe"
};
OpenPath CheckOpenPath(const QString& path);
// The message a refused path gets (critical icon); empty for Ok.
QString OpenPathMessage(OpenPath answer);

// Loads a configuration file into the model read from the network: every menu and option of
// the file is matched against the tables, and a value is copied only into an existing item of
// the same owner, type, length and order that it fits. Nothing is sent. A file that cannot be
// opened or parsed shows its message and changes nothing: then false. `interactive` shows the
// closing message.
bool Leer_Datos_Archivo(ConfigModel& model, const QString& path, LoadLog& log, Messages& messages,
                        TrafficLog* nlog, bool interactive);

// "Abrir": the path checks, each refusal shown with its message, then Leer_Datos_Archivo.
// False when the path was refused or the file could not be read.
bool LoadConfigurationFile(ConfigModel& model, const QString& path, LoadLog& log,
                           Messages& messages, TrafficLog* nlog, bool interactive);

// Rewrites the text of every item node from its row.
void Actualizar_Arbol(ConfigModel& model);

}  // namespace cfg
