// `zrhost play`: a JACK client with one output port per channel of the patch. A render thread
// keeps a queue of about a quarter second of blocks full; the server's process callback only
// copies from it (PlayStream::fill). Built without JACK, the command says so and exits 2.
#include "tools/zrhost/play_command.h"

#include "host/engine.h"
#include "tools/zrhost/patch_file.h"
#include "tools/zrhost/patch_overrides.h"
#include "tools/zrhost/play_stream.h"
#include "tools/zrhost/wavetable_cache.h"

#if ZRHOST_HAS_JACK
#include <jack/jack.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <thread>

namespace zrhost {

CLI::App* addPlayCommand(CLI::App& app, PlayArguments& args) {
    CLI::App* play = app.add_subcommand(
        "play", "play a patch file live through the audio server (JACK or PipeWire)");
    play->add_option("patch", args.patchFile, "patch file (JSON)")->required();
    args.secondsOpt = play->add_option("--seconds", args.seconds, "length to play");
    play->add_option("--set", args.settings, "set an input pin: module.pin=value (repeatable)");
    return play;
}

#if !ZRHOST_HAS_JACK

int playPatchFile(ModuleLibrary&, const ModuleCatalog&, const PlayArguments&) {
    throw AudioServerError("this zrhost was built without JACK, so it cannot play");
}

#else

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Audio the queue holds ahead of the callback: enough to ride out the render thread being
// descheduled on a busy machine; latency does not matter when playing a patch file.
constexpr double kQueueSeconds = 0.25;

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int signal) {
    stopSignal = signal;
}

// SIGINT and SIGTERM end playback cleanly (the summary still appears) while installed.
class StopSignals {
  public:
    StopSignals() {
        stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction oldInt_ {
    }, oldTerm_{};
};

void quiet(const char*) {}

// The client, closed on every way out.
struct Client {
    jack_client_t* handle = nullptr;
    ~Client() {
        if (handle) jack_client_close(handle);
    }
};

// What the server's threads reach through their `void*` argument.
struct Connection {
    PlayStream* stream = nullptr;
    std::vector<jack_port_t*> ports;
    std::vector<float*> buffers; // sized once, refilled every callback
    std::atomic<bool> serverGone{false};
};

int process(jack_nframes_t frames, void* arg) {
    auto& c = *static_cast<Connection*>(arg);
    for (std::size_t i = 0; i < c.ports.size(); ++i)
        c.buffers[i] = static_cast<float*>(jack_port_get_buffer(c.ports[i], frames));
    c.stream->fill(c.buffers.data(), static_cast<int>(frames));
    return 0;
}

void serverShutdown(void* arg) {
    static_cast<Connection*>(arg)->serverGone.store(true);
}

// Renders the engine's blocks into the queue until the patch ends or `stop` is set; sleeps
// while the queue is full.
class RenderThread {
  public:
    RenderThread(Engine& engine, PlayStream& stream, Clock::duration wait)
        : thread_([this, &engine, &stream, wait] { run(engine, stream, wait); }) {}
    ~RenderThread() {
        stop_.store(true);
        thread_.join();
    }
    RenderThread(const RenderThread&) = delete;
    RenderThread& operator=(const RenderThread&) = delete;

    // After the thread ended: what it threw, if anything.
    std::exception_ptr error() const { return error_; }

  private:
    void run(Engine& engine, PlayStream& stream, Clock::duration wait) {
        try {
            while (!stop_.load()) {
                float* slot = stream.queue().writeSlot();
                if (!slot) {
                    std::this_thread::sleep_for(wait);
                    continue;
                }
                const int frames = engine.renderBlock(slot);
                if (frames == 0) break;
                stream.queue().publish(frames);
            }
        } catch (...) {
            error_ = std::current_exception();
        }
        stream.finish();
    }

    std::atomic<bool> stop_{false};
    std::exception_ptr error_;
    std::thread thread_; // last: starts once the members above exist
};

// Deactivates the client before the queue and the engine go away.
struct Activation {
    jack_client_t* handle = nullptr;
    ~Activation() {
        if (handle) jack_deactivate(handle);
    }
};

jack_client_t* openClient() {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    // Never start a server: without one, say so.
    jack_client_t* client = jack_client_open("zrhost", JackNoStartServer, &status);
    if (!client)
        throw AudioServerError("no JACK audio server is running (play needs jackd, or PipeWire "
                               "with its JACK support)");
    return client;
}

// Output i to the i-th playback port of the machine; a single channel to the first two, so
// that a mono patch comes out of both speakers.
void connectToPlayback(jack_client_t* client, const std::vector<jack_port_t*>& ports) {
    const char** playback = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    std::size_t count = 0;
    while (playback && playback[count])
        ++count;
    if (count == 0)
        std::fprintf(stderr,
                     "zrhost: note: the server has no playback ports; connect %s and "
                     "its neighbours yourself\n",
                     jack_port_name(ports.front()));
    const std::size_t wanted =
        ports.size() == 1 ? std::min<std::size_t>(count, 2) : std::min(count, ports.size());
    for (std::size_t i = 0; i < wanted; ++i)
        jack_connect(client, jack_port_name(ports[std::min(i, ports.size() - 1)]), playback[i]);
    jack_free(playback);
}

// Waits until the queue is full or the patch is all in it (or a stop signal arrives).
void waitForQueue(PlayStream& stream) {
    while (!stopSignal && stream.queue().size() < stream.queue().capacity() && !stream.finished())
        std::this_thread::sleep_for(1ms);
}

void report(const PlayStats& s, double periodMicroseconds) {
    std::fprintf(stderr,
                 "played %lld frames in %lld callbacks, %lld underruns, worst callback %.1f µs "
                 "of %.1f µs period\n",
                 static_cast<long long>(s.frames), static_cast<long long>(s.callbacks),
                 static_cast<long long>(s.underruns), static_cast<double>(s.worstNanoseconds) / 1e3,
                 periodMicroseconds);
}

} // namespace

int playPatchFile(ModuleLibrary& library, const ModuleCatalog& catalog, const PlayArguments& args) {
    Patch patch = loadPatchFile(args.patchFile, catalog);
    if (args.secondsOpt && *args.secondsOpt) setSeconds(patch, args.seconds, "--seconds");
    applyPinOverrides(patch, args.settings);
    if (patch.outputs.empty())
        throw PatchError(patch.file, "output", "the patch names no output channel to play");

    Client client{openClient()};
    // The patch runs at the server's rate, whatever its file says, so that it sounds at its
    // pitch.
    const double rate = jack_get_sample_rate(client.handle);
    setSampleRate(patch, rate, "the audio server's sample rate");
    prepareWavetables(patch);
    Engine engine(library, std::move(patch));

    const int period = static_cast<int>(jack_get_buffer_size(client.handle));
    const int block = engine.patch().blockSize;
    const int queued = std::max(static_cast<int>(kQueueSeconds * rate), 4 * period);
    PlayStream stream(engine.channels(), block, (queued + block - 1) / block + 1);

    Connection connection;
    connection.stream = &stream;
    for (int c = 0; c < engine.channels(); ++c) {
        const std::string name = "out_" + std::to_string(c + 1);
        jack_port_t* port = jack_port_register(client.handle, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsOutput, 0);
        if (!port) throw std::runtime_error("the audio server refused the port " + name);
        connection.ports.push_back(port);
    }
    connection.buffers.resize(connection.ports.size());
    jack_set_process_callback(client.handle, process, &connection);
    jack_on_shutdown(client.handle, serverShutdown, &connection);

    StopSignals signals;
    const auto queueTime = std::chrono::duration<double>(queued / rate);
    RenderThread render(engine, stream,
                        std::clamp(std::chrono::duration_cast<Clock::duration>(queueTime / 8),
                                   Clock::duration(1ms), Clock::duration(20ms)));
    waitForQueue(stream);
    Activation active;
    if (jack_activate(client.handle) != 0)
        throw std::runtime_error("the audio server would not start the client");
    active.handle = client.handle;
    connectToPlayback(client.handle, connection.ports);

    while (!stream.drained() && !stopSignal && !connection.serverGone.load())
        std::this_thread::sleep_for(10ms);
    const double periodMicroseconds = 1e6 * jack_get_buffer_size(client.handle) / rate;
    jack_deactivate(client.handle);
    active.handle = nullptr;
    report(stream.stats(), periodMicroseconds);
    if (connection.serverGone.load())
        throw std::runtime_error("the JACK server stopped during playback");
    if (stream.drained() && render.error()) std::rethrow_exception(render.error());
    return stopSignal ? 128 + stopSignal : 0;
}

#endif

} // namespace zrhost
