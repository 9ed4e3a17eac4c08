// rukoplay: the player.
#include "shell/player.h"

int main(int argc, char** argv)
{
    return ruko::RunPlayer(argc, argv);
}
