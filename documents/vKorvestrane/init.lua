-- The built-in document of the player.

function startup()
  print("Welcome to Vekta.")
end
