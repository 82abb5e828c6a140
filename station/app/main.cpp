// kzt-station: plays the host. Filled in by the station work.
int main() { return 0; }
