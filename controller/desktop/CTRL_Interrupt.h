#pragma once

// SIGINT and SIGTERM end the player's hosts between two frames: the handler
// only raises a flag that the hosts read after every frame.
void CTRL_installInterruptHandler();
bool CTRL_bInterrupted();
