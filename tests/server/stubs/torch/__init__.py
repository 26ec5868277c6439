"""Stand-in for PyTorch: only what the engine asks (no GPU)."""


class cuda:
    @staticmethod
    def is_available():
        return False
