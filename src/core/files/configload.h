#pragma once

#include <QString>

#include "core/common/result.h"

namespace cfg {

class ConfigModel;
class Operation;

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
// the same owner, type, length and order that it fits. Nothing is sent. Every decision is one
// line of the operation, every value read a line of its nlog.txt. A file that cannot be
// opened or parsed, or that ends with an element open, changes nothing: an Error. A file in
// UTF-8 is read as such (said in the first line), and its values that the scales' code page
// cannot hold are turned away. The result tells whether the file held a configuration at all.
Result<bool> Leer_Datos_Archivo(ConfigModel& model, const QString& path, Operation& op);

// Whether `path` is a document the load would take, before anything is read from the network:
// the Error LoadConfigurationFile would give for it.
Status CheckConfigurationFile(const QString& path);

// "Abrir": the path checks, a refusal as an Error with its message, then Leer_Datos_Archivo.
Result<bool> LoadConfigurationFile(ConfigModel& model, const QString& path, Operation& op);

// What the open window says once a file is loaded.
inline const QString kLoadedNotSent = QStringLiteral(
    "Proceso finalizado, los datos no han sido enviados aún a balanzas, hágalo pulsando 'Enviar "
    "Todo' en el formulario principal");

// Rewrites the text of every item node from its row.
void Actualizar_Arbol(ConfigModel& model);

}  // namespace cfg
