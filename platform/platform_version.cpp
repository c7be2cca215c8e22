// Keeps the platform library non-empty while stand-ins are added.
extern "C" const char* kelmo_platform_version() { return "1.0"; }
