// Starting and stopping the platform's socket layer. Only Windows has anything to start.
#pragma once

bool startSocketLayer();
void stopSocketLayer();
