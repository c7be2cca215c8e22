// Shared test helpers are added beside this file.
namespace kelmo_test { int supportLinked = 1; }
