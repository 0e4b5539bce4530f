#pragma once

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

// Guards a test against a reader that blocks on opening a named pipe: if the guard is still
// alive after a few seconds, it opens the pipe's other end, so the blocked open returns and the
// test fails on its results instead of hanging.
class TPipeRescue {
public:
    explicit TPipeRescue(QByteArray pipePath) : path_(std::move(pipePath)), thread_([this] { Watch(); }) {}
    ~TPipeRescue()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_one();
        thread_.join();
    }

private:
    void Watch()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) {
            const int fd = ::open(path_.constData(), O_RDWR | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    }

    QByteArray path_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};
#endif
