#pragma once

#include <QString>

namespace cfg {

class Operation;
class TrafficLog;

// The program's own settings, kept in data.ini in the program folder. One object for the whole
// run, shared by every window.
class ClsConfig {
  public:
    // `log`, when given, receives every value read (nlog.txt).
    explicit ClsConfig(QString programFolder, TrafficLog* log = nullptr);

    int ComMode = 0;  // 0 = TCP/IP, 1 = RS-232; other values are kept as read
    QString TcpHost;
    int TcpPort = 6000;
    int SerialPort = 1;
    int SerialSpeed = 19200;
    QString SerialParity = QStringLiteral("E");
    int SerialBits = 8;
    // A serial device chosen by its path (/dev/ttyUSB0) rather than a COM number; written only
    // once one was chosen, so that a file without it reads and writes as before.
    QString SerialDevice;
    QString FilePath;  // the program folder and a separator until set
    QString Lang = QStringLiteral("org");

    // Writes every property to data.ini, replacing it only once the new file is complete.
    // False when it could not be written; the previous file is then untouched.
    bool WriteConfiguration() const;

    // Reads data.ini into the properties, checking each value. A file that cannot be read or
    // has no `cfgtarascope` root shows its error: then false, and the front end ends the
    // program.
    bool ReadConfiguration(Operation& op);

    bool Exists() const;
    QString DataFile() const;
    const QString& ProgramFolder() const { return folder_; }

  private:
    QString folder_;
    TrafficLog* log_;
};

}  // namespace cfg
