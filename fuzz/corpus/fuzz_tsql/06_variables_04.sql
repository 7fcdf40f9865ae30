select @nope
