// A stand-in for the media server: sleeps until it is killed, or exits at once when
// VIGILMOUNT_STANDIN_EXIT is set.
#include <cstdlib>
#include <unistd.h>

int main()
{
    if (std::getenv("VIGILMOUNT_STANDIN_EXIT"))
        return 3;
    for (;;)
        pause();
}
