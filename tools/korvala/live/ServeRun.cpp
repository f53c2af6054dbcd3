#include "tools/korvala/live/ServeRun.h"

#include "tools/korvala/output/AudioFileWriter.h"
#include "tools/korvala/sources/DemoTrack.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace korvala::cli {

namespace {

// Files larger than this are not offered to the page (it would load them whole).
constexpr std::streamoff kMaxPageAudio = 512LL * 1024 * 1024;

struct PageAudio {
    std::string bytes;
    std::string type;
};

std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The audio the page plays: the input file itself when browsers decode its
// container, the demo rendered as WAV, nothing for standard input.
PageAudio pageAudio(const std::string& input, std::string& why) {
    if (input == "-") {
        why = "standard input has no file to play";
        return {};
    }
    if (input.empty()) {
        char name[] = "/tmp/korvala-demo-XXXXXX.wav";
        const int fd = ::mkstemps(name, 4);
        if (fd < 0) {
            why = "no temporary file for the demo's audio";
            return {};
        }
        ::close(fd);
        PageAudio audio;
        try {
            writeAudioFile(name, DemoTrack::render(44100, DemoTrack::kDefaultSeconds, 1), 44100, 1,
                           "pcm16");
            audio = {readWhole(name), "audio/wav"};
        } catch (const std::exception& e) {
            why = e.what();
        }
        std::remove(name);
        return audio;
    }
    std::string extension = input.substr(std::min(input.size(), input.rfind('.') + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::pair<const char*, const char*> kTypes[] = {
        {"wav", "audio/wav"}, {"flac", "audio/flac"}, {"ogg", "audio/ogg"},
        {"oga", "audio/ogg"}, {"opus", "audio/ogg"},  {"mp3", "audio/mpeg"}};
    for (const auto& [known, type] : kTypes) {
        if (extension == known) {
            std::ifstream file(input, std::ios::binary | std::ios::ate);
            if (!file || file.tellg() > kMaxPageAudio) {
                why = "the file is too large to hand to the page";
                return {};
            }
            return {readWhole(input), type};
        }
    }
    why = "browsers do not play ." + extension + " files";
    return {};
}

} // namespace

std::string ServeOption::address() const {
    if (option == nullptr || option->count() == 0) {
        return {};
    }
    return value.empty() ? kDefaultServeAddress : value;
}

void addServeOption(CLI::App* command, ServeOption& serve, const std::string& help) {
    serve.option = command->add_option("--serve", serve.value, help)->expected(0, 1);
}

LiveServer::Options serverOptions(const ServeRequest& request, std::string& noAudio,
                                  std::atomic<ServeSink*>& controls) {
    LiveServer::Options options;
    options.address = request.address;
    options.title = request.title;
    options.fps = request.fps;
    if (request.realtime) {
        PageAudio audio = pageAudio(request.input, noAudio);
        options.audio = std::move(audio.bytes);
        options.audioType = audio.type;
    }
    if (request.control) {
        options.onControl = request.control;
    } else {
        options.onControl = [&controls](const std::string& name, float value) {
            if (ServeSink* sink = controls.load()) {
                sink->setControl(name, value);
            }
        };
    }
    return options;
}

ServeSession::ServeSession(const ServeRequest& request, Korvala::AudioEngine& engine, bool quiet)
    : request_(request), quiet_(quiet), server_(serverOptions(request_, noAudio_, controls_)),
      sink_(server_, engine, request.realtime) {
    controls_.store(&sink_);
    // The address goes to standard error whatever --quiet says: it is how the page is found.
    std::cerr << "korvala: serving " << server_.url() << '\n';
}

void ServeSession::waitForViewer() {
    if (request_.live) {
        return;
    }
    if (!request_.realtime) {
        if (request_.input != "-" && !quiet_) {
            std::cerr << "korvala: frames go to the page as fast as they are analysed; add "
                         "--realtime to play the input at its own pace\n";
        }
        return;
    }
    if (!noAudio_.empty()) {
        std::cerr << "korvala: the page plays no audio: " << noAudio_ << '\n';
    }
    if (!quiet_) {
        std::cerr << "korvala: waiting for a viewer (open the address in a browser)\n";
    }
    while (!server_.waitForViewer(std::chrono::seconds(1))) {
    }
}

void ServeSession::finish() {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

} // namespace korvala::cli
