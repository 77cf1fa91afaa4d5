#pragma once

#include <QString>

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
// opened or parsed, or that ends with an element open, shows its message and changes nothing:
// then false. A file in UTF-8 is read as such (said in the first line), and its values that the
// scales' code page cannot hold are turned away.
// `configuration` (when given) tells whether the file held a configuration at all.
bool Leer_Datos_Archivo(ConfigModel& model, const QString& path, Operation& op,
                        bool* configuration = nullptr);

// "Abrir": the path checks, each refusal shown with its message, then Leer_Datos_Archivo.
// False when the path was refused or the file could not be read.
bool LoadConfigurationFile(ConfigModel& model, const QString& path, Operation& op,
                           bool* configuration = nullptr);

// What the open window says once a file is loaded.
inline const QString kLoadedNotSent = QStringLiteral(
    "Proceso finalizado, los datos no han sido enviados aún a balanzas, hágalo pulsando 'Enviar "
    "Todo' en el formulario principal");

// Rewrites the text of every item node from its row.
void Actualizar_Arbol(ConfigModel& model);

}  // namespace cfg
