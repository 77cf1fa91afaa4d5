#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <vector>

#include "core/common/operation.h"

namespace cfg {

class ConfigModel;
struct ReadFailure;
class ScaleLink;

// What a read left unread, as the front ends name it: "balanza 3 (valores)", and a list of
// them joined by "; ".
QString ReadFailureName(const ReadFailure& failure);
QString ReadFailureList(const std::vector<ReadFailure>& failures);

// Reads the network into the model: the list of scales, then the structure (menus, items,
// options) and the values of the system and of every scale.
class NetworkReader {
  public:
    NetworkReader(ScaleLink& link, ConfigModel& model);

    // Rebuilds the model from the network. A failed read of the network or of the system's
    // structure is an Error, "Error de comunicaciones": nothing to work on. Failures later on
    // keep what was read and succeed; the model's ReadFailures() name them, with every scale
    // left unread. A read the operation cancels stops after the exchange in progress: before
    // the system's structure as an Error::Cancelled, after it as a read in part.
    Status Lee_Datos(Operation& op);

    // The steps of Lee_Datos; each returns false when an exchange failed.
    bool Lee_Red();
    bool Lee_Estructura(int scale);
    bool Lee_Valores(int scale);

  private:
    bool Cancelled() const { return op_ && op_->Cancelled(); }
    // Requests pages with the cursor until a reply's next cursor is 0. `handle` gets the
    // entry count and the data from byte 15 of each reply.
    bool ReadPages(const std::function<QByteArray(int cursor)>& request,
                   const std::function<void(int count, QByteArrayView data)>& handle);

    ScaleLink& link_;
    ConfigModel& model_;
    Operation* op_ = nullptr;  // while Lee_Datos runs
    // Lee_Valores' place for each node's new text, by node (0: none yet), kept between calls
    // and cleared entry by entry.
    std::vector<std::size_t> textSlot_;
};

}  // namespace cfg
