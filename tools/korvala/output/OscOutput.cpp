#include "tools/korvala/output/OscOutput.h"

#include "tools/korvala/output/OscEncoder.h"

namespace korvala::cli {

OscFrameSink::OscFrameSink(UdpEndpoint endpoint, OscSettings settings)
    : sender_(std::move(endpoint)), settings_(std::move(settings)) {
    datagram_.reserve(kMaxDatagram);
}

void OscFrameSink::begin(const std::vector<std::string>& scalarNames,
                         const std::vector<std::string>& vectorNames) {
    scalarAddresses_.clear();
    vectorAddresses_.clear();
    for (const std::string& name : scalarNames) {
        scalarAddresses_.push_back(settings_.prefix + "/" + name);
    }
    for (const std::string& name : vectorNames) {
        vectorAddresses_.push_back(settings_.prefix + "/" + name);
    }
    transitionAddress_ = settings_.prefix + "/transition";
    datagram_.clear();
    sent_ = 0;
}

void OscFrameSink::add(const std::string& address, const float* values, std::size_t count) {
    if (!settings_.bundle) {
        datagram_.clear();
        appendOscMessage(datagram_, address, values, count);
        send();
        return;
    }
    if (datagram_.size() > OscBundle::kHeaderSize &&
        datagram_.size() + 4 + oscMessageSize(address, count) > kMaxDatagram) {
        send();
        OscBundle{}.begin(datagram_);
    }
    OscBundle{}.add(datagram_, address, values, count);
}

void OscFrameSink::send() {
    if (!sender_.send(datagram_.data(), datagram_.size())) {
        warnFirstFailure("--osc", sender_);
    }
    ++sent_;
}

void OscFrameSink::frame(const FrameValues& values) {
    if (settings_.bundle) {
        OscBundle{}.begin(datagram_);
    }
    const std::vector<float>& scalars = *values.scalars;
    for (std::size_t i = 0; i < scalarAddresses_.size(); ++i) {
        add(scalarAddresses_[i], &scalars[i], 1);
    }
    for (std::size_t i = 0; i < vectorAddresses_.size(); ++i) {
        const std::vector<float>& vector = (*values.vectors)[i];
        add(vectorAddresses_[i], vector.data(), vector.size());
    }
    if (values.transition) {
        const float one = 1.0f;
        add(transitionAddress_, &one, 1);
    }
    if (settings_.bundle && datagram_.size() > OscBundle::kHeaderSize) {
        send();
    }
}

void OscFrameSink::end() {
    reportFailures("--osc", sender_, sent_);
}

} // namespace korvala::cli
