// Audio pins: streaming state changes of inputs and outputs.
#include "framework/mp_pins.h"

namespace gmpi {

void AudioInPin::beforeEvent(const MpEvent* event) {
    if (event->type != EventStreamingStart && event->type != EventStreamingStop) return;
    beforeFirstChange_ = false;
    markUpdated();
    const bool streaming = event->type == EventStreamingStart;
    if (streaming != streaming_) {
        streaming_ = streaming;
        module_->streamingChanged(streaming);
    }
}

void AudioOutPin::setStreaming(bool isStreaming, int32 time) {
    if (!module_) return;
    if (time == -1) time = module_->blockPosition();
    if (isStreaming != streaming_) {
        streaming_ = isStreaming;
        module_->streamingChanged(isStreaming);
    }
    AudioHost* host = module_->getHost();
    if (!host) return;
    if (!isStreaming) host->getBlockSize(module_->sleepCountdown);
    host->setPinStreaming(time, pinId_, isStreaming ? 1 : 0);
}

} // namespace gmpi
