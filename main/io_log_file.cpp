// Writing the io log: named lines, runs folded into one line with a count.
#include "main/io_log_file.h"

IoLogFile::IoLogFile(std::FILE* file, const std::string& card)
    : file_(file), namer_(card, [this](const std::string& line) { write(line); })
{
}

void IoLogFile::access(const std::string& raw)
{
    namer_.take(raw);
}

void IoLogFile::note(const std::string& line)
{
    namer_.flush();
    write(line);
}

void IoLogFile::flush()
{
    namer_.flush();
    writeHeld();
    std::fflush(file_);
}

// A polling loop reads the same status again and again: the run is one line with its count.
void IoLogFile::write(const std::string& line)
{
    if (count_ > 0 && line == last_) {
        ++count_;
        return;
    }
    writeHeld();
    last_ = line;
    count_ = 1;
}

void IoLogFile::writeHeld()
{
    if (count_ == 0)
        return;
    std::fputs(last_.c_str(), file_);
    if (count_ > 1)
        std::fprintf(file_, " (x%llu)", static_cast<unsigned long long>(count_));
    std::fputc('\n', file_);
    count_ = 0;
}
