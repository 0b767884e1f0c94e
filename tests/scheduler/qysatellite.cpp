// A satellite program for the tests: started by the client library as
// "qysatellite -q msqid -m shmid -p pid -e fd [options] words".
//   [options] exit N [line ...]   writes the lines to the error pipe, exits N
//   signal              ends by SIGKILL
//   args                writes its whole argument list as one line, exits 5
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 9 || strcmp(argv[1], "-q") || strcmp(argv[3], "-m") || strcmp(argv[5], "-p") || strcmp(argv[7], "-e"))
        return 100;
    int fd = atoi(argv[8]);
    // Fork options may come first: the command is the first word we know.
    int at = 9;
    while (at < argc && strcmp(argv[at], "args") && strcmp(argv[at], "signal") && strcmp(argv[at], "exit"))
        at++;
    std::string what = at < argc ? argv[at] : "";
    if (what == "args") {
        std::string line;
        for (int i = 0; i < argc; i++)
            line += std::string(i ? " " : "") + argv[i];
        line += "\n";
        ssize_t w = write(fd, line.data(), line.size());
        (void)w;
        return 5;
    }
    if (what == "signal")
        raise(SIGKILL);
    if (what == "exit" && argc > at + 1) {
        std::string lines;
        for (int i = at + 2; i < argc; i++)
            lines += std::string(argv[i]) + "\n";
        ssize_t w = write(fd, lines.data(), lines.size());
        (void)w;
        return atoi(argv[at + 1]);
    }
    return 101;
}
