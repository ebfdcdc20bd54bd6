// Replaced by the window entry point.
int main() { return 0; }
