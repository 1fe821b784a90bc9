// Placeholder until the subsystem lands; remove when the first real source is added.
namespace {}
