#pragma once

#define IDI_ZANVEK 1 // the program's icon, also the registration window's
