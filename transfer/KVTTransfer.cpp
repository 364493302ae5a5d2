#include "transfer/KVTTransfer.h"

#include "serial/CancelFlag.h"

namespace quillon {

bool KVTTransfer::Cancelled() const {
    return cancel_ != nullptr && cancel_->Cancelled();
}

}  // namespace quillon
