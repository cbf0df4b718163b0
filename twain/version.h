// One definition of the source's version for the identity and the VERSIONINFO resource.
#pragma once
#define TWJEX_VERSION_TEXT "1.78"
#define TWJEX_VERSION_RC 1, 78, 0, 0
#define TWJEX_PROTOCOL_MAJOR 1
#define TWJEX_PROTOCOL_MINOR 8
